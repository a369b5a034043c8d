# A small HTTP server on 127.0.0.1 for the download and update tests, which can misbehave on
# purpose:
#
#   updateserver.py FOLDER
#
# Serves the files below FOLDER as /NAME (folders with '/'), and as /short/NAME their first
# 1000 bytes under the full Content-Length, then closes: a download cut short. Anything else,
# or a name that leaves FOLDER, is 404. Every path asked for is added to FOLDER/requests.log, so
# a test can tell what was fetched. The port it listens on goes to FOLDER/port once it accepts
# connections.
import http.server
import os
import sys

folder = os.path.realpath(sys.argv[1])
SHORT = "/short/"
SHORT_BYTES = 1000


def file_of(path):
    """The file a path names below the folder, or None."""
    name = os.path.realpath(os.path.join(folder, path.lstrip("/")))
    if not name.startswith(folder + os.sep) or not os.path.isfile(name):
        return None
    return name


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(os.path.join(folder, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        short = self.path.startswith(SHORT)
        name = file_of(self.path[len(SHORT) - 1:] if short else self.path)
        if name is None:
            self.answer(404, b"not found", 9)
            return
        with open(name, "rb") as f:
            body = f.read()
        self.answer(200, body[:SHORT_BYTES] if short else body, len(body))

    def answer(self, status, body, length):
        self.send_response(status)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
# Written whole, then renamed: the test waits for the name.
with open(os.path.join(folder, "port.tmp"), "w") as out:
    out.write(str(server.server_address[1]))
os.rename(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
server.serve_forever()
