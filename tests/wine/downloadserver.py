# A small HTTP server on 127.0.0.1 for the downloads case, which can misbehave on purpose:
#
#   downloadserver.py FOLDER
#
# Serves FOLDER/good.bin as /good, its first 1000 bytes under the full Content-Length as
# /short (then closes), 404 for anything else; writes the port it listens on to FOLDER/port.
import http.server
import os
import sys

folder = sys.argv[1]
good = open(os.path.join(folder, "good.bin"), "rb").read()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path == "/good":
            self.answer(200, good, len(good))
        elif self.path == "/short":
            self.answer(200, good[:1000], len(good))
        else:
            self.answer(404, b"not found", 9)

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
# Written whole, then renamed: the case waits for the name.
with open(os.path.join(folder, "port.tmp"), "w") as out:
    out.write(str(server.server_address[1]))
os.rename(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
server.serve_forever()
