"""Reads a stored message with Python's own mail parser and prints what a mail program shows:

    /usr/bin/python3 read_mail.py FILE

One "key=value" line each, line breaks in values written as \\n and \\r: from, to, cc (empty when
absent), bcc-header (yes/no), subject, organization, mailer, type (of the whole message), body
(the first text part, decoded), then one "attachment=NAME|TYPE|SIZE|CONTENT" line per attachment
(CONTENT decoded, as text for text types, else in hexadecimal).
"""
import email
import email.policy
import sys


def show(value):
    return (value or "").replace("\r", "\\r").replace("\n", "\\n")


with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)

for key, header in (("from", "From"), ("to", "To"), ("cc", "Cc"), ("subject", "Subject"),
                    ("organization", "Organization"), ("mailer", "X-Mailer")):
    print("%s=%s" % (key, show(str(msg[header]) if msg[header] is not None else "")))
print("bcc-header=%s" % ("yes" if msg["Bcc"] is not None else "no"))
print("type=%s" % msg.get_content_type())
body = msg.get_body(preferencelist=("plain", "html"))
print("body=%s" % show(body.get_content() if body is not None else ""))
for part in msg.iter_attachments():
    content = part.get_content()
    shown = show(content) if isinstance(content, str) else content.hex()
    print("attachment=%s|%s|%d|%s" % (part.get_filename(), part.get_content_type(),
                                      len(part.get_payload(decode=True)), shown))
