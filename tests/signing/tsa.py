"""An RFC 3161 timestamp authority on 127.0.0.1, for the signing tests.

    tsa.py DIR    DIR holds tsa.key and tsa.pem (a certificate for timeStamping);
                  prints the port it listens on, then answers until killed.

Each request's answer is made by `openssl ts -reply`.
"""
import http.server
import pathlib
import subprocess
import sys
import tempfile

folder = pathlib.Path(sys.argv[1])
(folder / "serial").write_text("01\n")
(folder / "tsa.cnf").write_text(
    "[tsa]\ndefault_tsa = tsa_config\n[tsa_config]\n"
    f"serial = {folder}/serial\nsigner_digest = sha256\n"
    "default_policy = 1.3.6.1.4.1.99999.1\ndigests = sha256, sha1\ness_cert_id_chain = no\n")


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        with tempfile.TemporaryDirectory() as work:
            query, reply = pathlib.Path(work, "query"), pathlib.Path(work, "reply")
            query.write_bytes(self.rfile.read(int(self.headers["Content-Length"])))
            made = subprocess.run(["openssl", "ts", "-reply", "-config", str(folder / "tsa.cnf"),
                                   "-queryfile", str(query), "-inkey", str(folder / "tsa.key"),
                                   "-signer", str(folder / "tsa.pem"), "-out", str(reply)],
                                  capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode())
                self.send_error(500)
                return
            body = reply.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
print(server.server_address[1], flush=True)
server.serve_forever()
