// The COM runtime's class registry: built-in classes plus those registered at run time.
#pragma once

#include "platform/com.h"

namespace vrel::com {

// Creates an instance of a built-in class; REGDB_E_CLASSNOTREG for an unknown one.
using BuiltinCreator = HRESULT (*)(REFIID iid, void** out);
BuiltinCreator FindBuiltinClass(REFCLSID clsid);

// How many CoInitialize calls on this thread are not yet balanced.
int InitCountOnThisThread();

}  // namespace vrel::com
