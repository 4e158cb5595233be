# A throw-away RFC 3161 time-stamp server for the release test, on 127.0.0.1: every POSTed request is
# answered by `openssl ts -reply` with the test's time-stamping certificate. Prints its port, then serves
# until it is ended.
#
#   python3 time_stamp_server.py TSA-CONFIGURATION
import http.server
import os
import subprocess
import sys
import tempfile

configuration = sys.argv[1]


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as folder:
            query_file = os.path.join(folder, "query.tsq")
            reply_file = os.path.join(folder, "reply.tsr")
            with open(query_file, "wb") as f:
                f.write(query)
            answered = subprocess.run(["openssl", "ts", "-reply", "-config", configuration,
                                       "-queryfile", query_file, "-out", reply_file],
                                      capture_output=True, text=True)
            if answered.returncode != 0:
                sys.stderr.write("time_stamp_server: openssl ts -reply failed: " + answered.stderr)
                self.send_error(500)
                return
            with open(reply_file, "rb") as f:
                reply = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, format, *args):
        pass  # one line per request is noise in the test's output


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
print(server.server_address[1], flush=True)
server.serve_forever()
