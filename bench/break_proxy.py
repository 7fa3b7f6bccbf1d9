#!/usr/bin/env python3
"""A loopback TCP relay that breaks the connection at chosen points: it
relays each client connection to a server port and, when the bytes relayed
to clients (over all connections) reach the next break point, sends no
more and resets that connection. On SIGTERM it writes "<to clients>
<from server>" (bytes) to the stats file. Bounded: it ends by itself after
`--limit` seconds.

    break_proxy.py <listen port> <server port> <stats file> [break at bytes ...]
"""

import signal
import socket
import struct
import sys
import threading
import time

BUFFER = 1 << 20


class Relay:
    def __init__(self, server_port, breaks):
        self.server_port = server_port
        self.breaks = sorted(breaks)
        self.to_clients = 0
        self.from_server = 0
        self.lock = threading.Lock()

    def handle(self, client):
        # One request per connection (the engine asks with Connection: close):
        # its head goes up first, so that no second thread holds the client
        # socket when a break resets it.
        server = socket.create_connection(("127.0.0.1", self.server_port))
        buffer = bytearray(BUFFER)
        view = memoryview(buffer)
        try:
            head = b""
            while b"\r\n\r\n" not in head:
                data = client.recv(65536)
                if not data:
                    return
                head += data
            server.sendall(head)
            while True:
                got = server.recv_into(buffer)
                if got == 0:
                    break
                with self.lock:
                    self.from_server += got
                    allowed = got
                    if self.breaks:
                        allowed = min(got, self.breaks[0] - self.to_clients)
                    self.to_clients += max(allowed, 0)
                    cut = bool(self.breaks) and self.to_clients >= self.breaks[0]
                    if cut:
                        self.breaks.pop(0)
                if allowed > 0:
                    client.sendall(view[:allowed])
                if cut:
                    client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    break
        except OSError:
            pass
        finally:
            client.close()
            server.close()


def main():
    listen_port, server_port, stats = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    relay = Relay(server_port, [int(b) for b in sys.argv[4:]])
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(16)
    listener.settimeout(1.0)

    def finish(*_):
        with relay.lock, open(stats, "w") as out:
            out.write(f"{relay.to_clients} {relay.from_server}\n")
        sys.exit(0)

    signal.signal(signal.SIGTERM, finish)
    deadline = time.monotonic() + 600
    while time.monotonic() < deadline:
        try:
            client, _ = listener.accept()
        except socket.timeout:
            continue
        threading.Thread(target=relay.handle, args=(client,), daemon=True).start()
    finish()


if __name__ == "__main__":
    main()
