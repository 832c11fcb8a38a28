"""tsa.py DIR: an RFC 3161 timestamp authority on 127.0.0.1 for the signing
tests, with a throwaway certificate that it makes in DIR (tsa.pem), and a
stalled one beside it that accepts and never answers (noting each connection
in DIR/stalled.log). Prints both ports, then answers each request with
`openssl ts -reply` until killed."""
import http.server
import pathlib
import socket
import subprocess
import sys
import threading

d = pathlib.Path(sys.argv[1])
(d / "serial").write_text("01\n")
(d / "tsa.cnf").write_text(f"[tsa]\ndefault_tsa = t\n[t]\nserial = {d}/serial\nsigner_digest = sha256\n"
                           "default_policy = 1.3.6.1.4.1.99999.1\ndigests = sha256, sha1\ness_cert_id_chain = no\n")
subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                "-subj", "/CN=Lumiran throwaway TSA", "-addext", "extendedKeyUsage=critical,timeStamping",
                "-keyout", d / "tsa.key", "-out", d / "tsa.pem"], check=True, capture_output=True)


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):  # one request at a time: the files in DIR are this request's
        (d / "query").write_bytes(self.rfile.read(int(self.headers["Content-Length"])))
        (d / "reply").unlink(missing_ok=True)
        subprocess.run(["openssl", "ts", "-reply", "-config", d / "tsa.cnf", "-queryfile", d / "query",
                        "-inkey", d / "tsa.key", "-signer", d / "tsa.pem", "-out", d / "reply"])
        body = (d / "reply").read_bytes() if (d / "reply").exists() else b""
        self.send_response(200 if body else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def stall(listener, held=[]):
    while True:
        held.append(listener.accept()[0])
        with open(d / "stalled.log", "a") as log:
            print("connected", file=log)


stalled = socket.create_server(("127.0.0.1", 0))
threading.Thread(target=stall, args=(stalled,), daemon=True).start()
server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
print(server.server_address[1], stalled.getsockname()[1], flush=True)
server.serve_forever()
