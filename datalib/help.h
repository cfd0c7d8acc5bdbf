// The user manual and the Help menu's links.
//
// The manual is a folder of HTML pages, one per help id (a window's procedure name, or the id a
// window sets) and "index.html", the contents. It lies in "help" beside the programs in the build
// and in share/doc/orvane/help under the installation prefix (the programs in its lib/orvane).
//
// The web-site and support addresses are the settings "WebSite" and "SupportAddress" of section
// [Custom] in OV98.INI; both are empty until the user sets them, and a link whose address is
// empty is not offered.
//
// Threading: GUI thread (the messages on failure are windows).
#pragma once

#include <string>
#include <string_view>

namespace ov::files {

// The manual's folder, empty when neither place holds its contents page.
std::string HelpFolder();

// The page for `helpId`: its own page when the manual has one, else the page of the procedure it
// belongs to ("A:B" is part of "A"), else the contents page; empty when there is no manual.
std::string HelpPage(std::string_view helpId = {});

// Opens the page for `helpId` in the user's browser; says why in a message and answers false when
// there is no manual or nothing could open it.
bool ShowHelp(std::string_view helpId = {});

std::string WebSiteAddress();
std::string SupportAddress();

// Open the web site in the browser and a new mail to the support address ("mailto:"); false when
// the address is empty or nothing could open it (said in a message).
bool OpenWebSite();
bool OpenSupportMail();

}  // namespace ov::files
