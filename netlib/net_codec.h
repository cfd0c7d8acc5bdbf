// Mail text codecs: Base64 and quoted-printable (RFC 2045) both ways, one line of uuencoded data,
// RFC 2047 encoded words in header values, and the local time-zone offset as mail headers write it.
//
// Each takes a text and returns a text; the byte counts come back in `length` arguments. Results
// hold exactly the bytes produced (no fixed-size buffers, so no input can overrun one). The
// functions keep no state and may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace ov::net {

// Base64 with "=" padding and a CR LF after every 76 characters, also after a last full line (57
// input bytes give 76 characters and CR LF). `length` becomes the number of characters written.
std::string NetBase64Encode(std::string_view bytes, long& length);

// Decodes Base64, skipping every character outside the alphabet (line ends, blanks, anything
// else). A group of four values gives three bytes, fewer when it holds "=" padding; values left
// over after the last complete group are dropped. `length` becomes the number of bytes.
std::string NetBase64Decode(std::string_view text, long& length);

// Quoted-printable with soft line breaks ("=" CR LF) before a line would pass 76 characters.
// `lineLength` carries the length of the current output line in and out, so a caller can continue
// a line across calls. The output is limited to 3121 characters: when the next byte would not fit,
// the error line "Error. String has run out of room." is logged and what was written is returned.
// `length` becomes the number of characters written.
std::string NetQuotedPrintableEncode(std::string_view bytes, long& length, long& lineLength);

// Decodes quoted-printable: "=" + two hexadecimal digits (either case) gives that byte, "=" CR LF
// joins lines, an escape that is not one (bad digits, or the text ends) gives "_". `length`
// becomes the number of bytes.
std::string NetQuotedPrintableDecode(std::string_view text, long& length);

// Decodes one uuencoded line: the first character gives the byte count (its code - 32); a count
// of 0 or less, or of 64 or more, gives "" and a count of 0.
std::string NetUUDecode(std::string_view line, long& count);

// A header value with its surrounding blanks removed and every RFC 2047 encoded word
// ("=?charset?Q?...?=" or "?B?", either case) decoded and converted from its charset to UTF-8.
// Blanks between two adjacent encoded words go, as RFC 2047 wants; text around the words stays as
// it is. A word whose charset is unknown keeps its decoded bytes; a malformed word stays undecoded.
std::string NetCharSet(std::string_view value);

// The current local offset from UTC as mail headers write it: "+0100", "-0500", "+0530".
std::string NetGetTimeZone();

}  // namespace ov::net
