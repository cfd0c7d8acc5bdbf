// The error manager's messages shown to the user: a sink for db::ErrorClass that puts each report
// in a message box through the interaction host (so tests answer it with the scripted host).
#pragma once

#include "platform/files/error_class.h"

namespace ov::ui {

// Shows the report's text under its title (a stop icon for a fatal error, an exclamation mark
// otherwise) and answers the report's own level: the caller acts on it as before.
db::ErrorClass::Sink messageBoxSink();

}  // namespace ov::ui
