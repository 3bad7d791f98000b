// The question asked before a root authority is trusted: the system's security warning, shown
// through the dialog's host so that every host (window, console, tests) can answer it.
#pragma once

#include "platform/certificate_store.h"

namespace nestora {

class DialogHost;

platform::RootAdditionPrompt MakeRootAdditionPrompt(DialogHost& host);

}  // namespace nestora
