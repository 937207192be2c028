// Where the process is assembled: the classes the runtime provides, as the platform's registry
// would list them. The one place that knows every service with a class; com/ knows none.
#include "platform/ddraw.h"
#include "platform/mmstream.h"
#include "runtime/com/com_runtime.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/mmstream/mmstream_runtime.h"

namespace vrel::com {

BuiltinCreator FindBuiltinClass(REFCLSID clsid) {
    if (clsid == CLSID_DirectDrawFactory) {
        return &vrel::ddraw::CreateDirectDrawFactory;
    }
    if (clsid == CLSID_AMMultiMediaStream) {
        return &vrel::mmstream::CreateAMMultiMediaStream;
    }
    return nullptr;
}

}  // namespace vrel::com
