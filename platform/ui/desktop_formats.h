// The desktop's date forms behind the pictures that follow the system's dates (@D17, @D18).
//
// The C library knows a user's locale only when it has been generated on the machine; the toolkit
// knows every locale by name. So that a date shows and reads in the order the user's desktop uses,
// the window layer takes the short and long date of the toolkit's locale when the programs start
// (the times stay the C library's). A "C" or "POSIX" locale leaves the forms as they are.
//
// Threading: call before worker threads format dates, or accept that they see either form.
#pragma once

#include <QLocale>

#include "platform/rt/picture.h"

namespace ov::ui {

// `base` with the short and long date of `locale` in the pattern syntax of rt::SystemFormats.
rt::SystemFormats desktopFormats(const QLocale& locale, rt::SystemFormats base);

// Replaces the system's date forms by those of the desktop's locale (QLocale::system()), unless
// that locale is C.
void useDesktopDateFormats();

}  // namespace ov::ui
