#!/usr/bin/env python3
"""Test servers for the web library's real-network tests, on 127.0.0.1 only.

Started by the test fixture, which reads one line from standard output:
    READY <http port> <https port> <proxy port or 0>
and stops everything by closing standard input (or by SIGTERM).

Routes (same on http and https):
  /echo...          the raw request (request line, header lines, blank line, body) as the body
  /set-cookie?a=1&b=2   one "Set-Cookie: a=1; Path=/" line per pair
  /redirect?to=PATH 302 to PATH
  /loop             302 to itself
  /big-header       a header text of over 6000 bytes, then "Set-Cookie: big=1; Path=/"
  /no-content       204, no body
  /bytes            3000 bytes with zeros among them
  /stall            reads the request, then sends nothing
  /stall-body       headers and 10 of 100 promised bytes, then nothing
  /truncated        headers and 10 of 100 promised bytes, then closes
With --proxy, also runs tinyproxy (allowing only 127.0.0.1) and logs its
connections to <dir>/tinyproxy.log.
"""
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

STALL_SECONDS = 20


def bytes_body():
    return bytes((i * 7) % 256 for i in range(3000))


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return None, None
        data += chunk
        if len(data) > 1 << 20:
            return None, None
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(rest) < length:
        chunk = conn.recv(4096)
        if not chunk:
            break
        rest += chunk
    return head, rest


def answer(conn, status, headers=(), body=b"", length=None):
    lines = [b"HTTP/1.1 " + status.encode()]
    lines += [h.encode() for h in headers]
    if length is None:
        length = len(body)
    if not status.startswith("204"):
        lines.append(b"Content-Length: %d" % length)
    lines.append(b"Connection: close")
    conn.sendall(b"\r\n".join(lines) + b"\r\n\r\n" + body)


def handle(conn):
    try:
        conn.settimeout(STALL_SECONDS + 10)
        head, body = read_request(conn)
        if head is None:
            return
        target = head.split(b"\r\n")[0].split(b" ")[1].decode("latin-1")
        path, _, query = target.partition("?")
        if path == "/echo":
            answer(conn, "200 OK", ["Content-Type: application/octet-stream"], head + b"\r\n\r\n" + body)
        elif path == "/set-cookie":
            pairs = [p for p in query.split("&") if p]
            answer(conn, "200 OK", ["Set-Cookie: %s; Path=/" % p for p in pairs], b"set")
        elif path == "/redirect":
            to = urllib.parse.parse_qs(query)["to"][0]
            answer(conn, "302 Found", ["Location: " + to], b"moved")
        elif path == "/loop":
            answer(conn, "302 Found", ["Location: /loop"], b"again")
        elif path == "/big-header":
            answer(conn, "200 OK", ["X-Filler: " + "x" * 6000, "Set-Cookie: big=1; Path=/"], b"big")
        elif path == "/no-content":
            answer(conn, "204 No Content")
        elif path == "/bytes":
            answer(conn, "200 OK", [], bytes_body())
        elif path == "/stall":
            time.sleep(STALL_SECONDS)
        elif path == "/stall-body":
            answer(conn, "200 OK", [], b"0123456789", length=100)
            time.sleep(STALL_SECONDS)
        elif path == "/truncated":
            answer(conn, "200 OK", [], b"0123456789", length=100)
        else:
            answer(conn, "404 Not Found", [], b"no such page")
    except (OSError, ssl.SSLError, ValueError, IndexError, KeyError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def serve(listener, context=None):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return

        def run(c=conn):
            if context is not None:
                try:
                    c.settimeout(10)
                    c = context.wrap_socket(c, server_side=True)
                except (OSError, ssl.SSLError):
                    c.close()
                    return
            handle(c)

        threading.Thread(target=run, daemon=True).start()


def listen():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    return s


def make_certificate(directory):
    key = os.path.join(directory, "key.pem")
    cert = os.path.join(directory, "cert.pem")
    # Self-signed, for a name that is not the host asked for.
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=pl-test.invalid"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def free_port():
    s = listen()
    port = s.getsockname()[1]
    s.close()
    return port


def start_proxy(directory):
    """tinyproxy on a free port; returns (process, port)."""
    log = os.path.join(directory, "tinyproxy.log")
    for _ in range(5):
        port = free_port()
        conf = os.path.join(directory, "tinyproxy.conf")
        with open(conf, "w") as f:
            f.write('Port %d\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\nMaxClients 16\n'
                    'LogLevel Connect\nLogFile "%s"\n' % (port, log))
            if os.geteuid() == 0:
                f.write("User nobody\nGroup nogroup\n")
        if os.geteuid() == 0:
            # tinyproxy opens its log after giving up root.
            os.chmod(directory, 0o755)
            open(log, "a").close()
            os.chmod(log, 0o666)
        proc = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline and proc.poll() is None:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                return proc, port
            except OSError:
                time.sleep(0.05)
        proc.kill()
        proc.wait()
    raise RuntimeError("tinyproxy did not start")


def main():
    directory = sys.argv[1]
    with_proxy = "--proxy" in sys.argv[2:]
    children = []

    def stop(*_):
        for child in children:
            child.kill()
            child.wait()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    plain = listen()
    secure = listen()
    context = make_certificate(directory)
    proxy_port = 0
    if with_proxy:
        proc, proxy_port = start_proxy(directory)
        children.append(proc)
    threading.Thread(target=serve, args=(plain,), daemon=True).start()
    threading.Thread(target=serve, args=(secure, context), daemon=True).start()
    print("READY %d %d %d" % (plain.getsockname()[1], secure.getsockname()[1], proxy_port), flush=True)
    sys.stdin.read()  # until the fixture closes it, or exits
    stop()


if __name__ == "__main__":
    main()
