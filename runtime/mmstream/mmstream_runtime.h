// The multimedia stream on FFmpeg: the entry points the COM registry and process exit use.
#pragma once

#include "platform/mmstream.h"

namespace vrel::mmstream {

// A new multimedia stream (CLSID_AMMultiMediaStream), asked for by iid.
HRESULT CreateAMMultiMediaStream(REFIID iid, void** out);

// Process exit: stops every stream still alive, silences audio and joins all threads.
void StopAllStreams();

}  // namespace vrel::mmstream
