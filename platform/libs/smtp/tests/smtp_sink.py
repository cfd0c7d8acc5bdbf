"""A mail server for the tests: takes mail on 127.0.0.1 and stores each message in a folder.

    /usr/bin/python3 smtp_sink.py FOLDER [USER PASSWORD]

Prints the port it listens on (a free one) and serves until killed. Each accepted message becomes
FOLDER/NNN.eml (the data as received) and FOLDER/NNN.env (three lines: the envelope sender, the
recipients separated by blanks, the user that logged on or an empty line); the .env file appears
last, by rename.

AUTH PLAIN and LOGIN are offered (without TLS) when a user is given; logging on is not required.
Refusals on demand: a recipient whose address starts with "refuse" gets 550 at RCPT; a sender
whose address starts with "reject-data" gets 554 after the message data.
"""
import asyncio
import os
import sys
import logging

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("refuse"):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if (envelope.mail_from or "").lower().startswith("reject-data"):
            return "554 5.7.1 Message content rejected"
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        login = session.auth_data if session.authenticated else None
        if isinstance(login, bytes):
            login = login.decode("utf-8", "replace")
        with open(base + ".tmp", "w") as f:
            f.write("%s\n%s\n%s\n" % (envelope.mail_from, " ".join(envelope.rcpt_tos), login or ""))
        os.rename(base + ".tmp", base + ".env")
        return "250 OK stored"


def authenticator_for(user, password):
    def check(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)
    return check


async def main():
    logging.getLogger("mail.log").setLevel(logging.ERROR)  # aiosmtpd warns about its own use of a deprecated field
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    options = {}
    if len(sys.argv) >= 4:
        options = dict(authenticator=authenticator_for(sys.argv[2], sys.argv[3]),
                       auth_require_tls=False, auth_required=False)
    sink = Sink(folder)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(sink, decode_data=False, **options), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    # A test that crashed cannot stop the server: it goes once its parent is gone.
    parent = os.getppid()
    async with server:
        while os.getppid() == parent:
            await asyncio.sleep(0.5)


asyncio.run(main())
