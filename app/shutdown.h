// Teardown: gives back every object the intro holds, asks the loop to end and undoes COM.
#pragma once

// Safe to run any number of times: a later run releases nothing, posts another quit
// request and leaves COM alone.
void Shutdown();

// Gives back the reference a field holds and empties it. The field is emptied before
// Release, so nothing reached from Release can see a reference that is already gone.
template <typename Interface>
void ReleaseInterface(Interface*& field) {
    Interface* held = field;
    field = nullptr;
    if (held != nullptr) {
        held->Release();
    }
}
