"""A TCP peer for the Winsock tests, on 127.0.0.1.

  tcp_peer.py serve PORT send-close N   accept one connection, send N bytes
                                        ('a'..'z' repeated), close gracefully
  tcp_peer.py serve PORT echo           accept one connection, echo until EOF, close
  tcp_peer.py serve PORT reset          accept one connection, wait for one byte,
                                        close with SO_LINGER {1, 0} (a reset)
  tcp_peer.py connect PORT TEXT         connect, send TEXT, close gracefully

'serve' prints "ready" once it listens; every mode prints "done" at the end.
"""
import socket
import struct
import sys


def pattern(n):
    letters = b"abcdefghijklmnopqrstuvwxyz"
    return (letters * (n // 26 + 1))[:n]


def serve(port, mode, arg):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(1)
    print("ready", flush=True)
    conn, _ = listener.accept()
    listener.close()
    if mode == "send-close":
        conn.sendall(pattern(int(arg)))
        conn.close()
    elif mode == "echo":
        while True:
            data = conn.recv(65536)
            if not data:
                break
            conn.sendall(data)
        conn.close()
    elif mode == "reset":
        conn.recv(1)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()
    else:
        raise SystemExit("unknown mode " + mode)


def connect(port, text):
    conn = socket.create_connection(("127.0.0.1", port))
    conn.sendall(text.encode())
    conn.close()


def main():
    if sys.argv[1] == "serve":
        serve(int(sys.argv[2]), sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else "")
    else:
        connect(int(sys.argv[2]), sys.argv[3])
    print("done", flush=True)


main()
