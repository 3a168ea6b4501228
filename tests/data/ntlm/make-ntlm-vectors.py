#!/usr/bin/python3
# Writes vectors.txt beside this script: MD4 digests, DES blocks, NTLM LM and NT
# responses and whole type 1 and type 3 messages, computed with pycryptodome
# (Debian's python3-pycryptodome, module Cryptodome) and the message layouts built
# here with struct. Run it with Debian's /usr/bin/python3. Every field is hex ("-"
# for an empty one) except the messages, which are the Base64 text sent on the wire.
import base64
import os
import random
import struct

from Cryptodome.Cipher import DES
from Cryptodome.Hash import MD4

rng = random.Random(1320)


def rand_bytes(n):
    return bytes(rng.randrange(256) for _ in range(n))


def hx(b):
    return b.hex().upper() if b else "-"


def md4(b):
    return MD4.new(b).digest()


def des_encrypt(key, block):
    return DES.new(key, DES.MODE_ECB).encrypt(block)


def expand_key(k7):
    # 56 key bits in 8 groups of 7, each group shifted into the top of a byte.
    bits = int.from_bytes(k7, "big")
    return bytes(((bits >> (49 - 7 * i)) & 0x7F) << 1 for i in range(8))


def des7(k7, data):
    return des_encrypt(expand_key(k7), data)


def respond(k21, challenge):
    return b"".join(des7(k21[i:i + 7], challenge) for i in (0, 7, 14))


def lm_response(password, challenge):
    p = password.upper()[:14].ljust(14, b"\0")
    k = des7(p[:7], b"KGS!@#$%") + des7(p[7:], b"KGS!@#$%") + bytes(5)
    return respond(k, challenge)


def widen(s):
    return s.decode("latin-1").encode("utf-16-le")


def nt_response(password, challenge):
    return respond(md4(widen(password)) + bytes(5), challenge)


def message1(host, domain):
    h, d = host.upper(), domain.upper()
    flags = 0x8207 | (0x2000 if h else 0) | (0x1000 if d else 0)
    head = b"NTLMSSP\0" + struct.pack("<II", 1, flags)
    head += struct.pack("<HHI", len(d), len(d), 32 + len(h) if d else 0)
    head += struct.pack("<HHI", len(h), len(h), 32 if h else 0)
    return base64.b64encode(head + h + d).decode()


def message3(domain, host, user, password, challenge):
    d, u, h = widen(domain), widen(user), widen(host)
    lm_at = 64 + len(d) + len(u) + len(h)
    head = b"NTLMSSP\0" + struct.pack("<I", 3)
    head += struct.pack("<HHI", 24, 24, lm_at)
    head += struct.pack("<HHI", 24, 24, lm_at + 24)
    head += struct.pack("<HHI", len(d), len(d), 64)
    head += struct.pack("<HHI", len(u), len(u), 64 + len(d))
    head += struct.pack("<HHI", len(h), len(h), 64 + len(d) + len(u))
    head += struct.pack("<HHI", 0, 0, 0)
    head += struct.pack("<I", 0x8205)
    body = d + u + h + lm_response(password, challenge) + nt_response(password, challenge)
    return base64.b64encode(head + body).decode()


lines = ["# Written by make-ntlm-vectors.py; do not edit by hand."]

# MD4 across the block boundaries (55/56 bytes decide one or two padding blocks).
for n in list(range(0, 130)) + [1000, 4096 + 7]:
    data = rand_bytes(n)
    lines.append(f"md4 {hx(data)} {hx(md4(data))}")

# DES under random keys, parity bits random too (they must not matter).
for _ in range(40):
    key, block = rand_bytes(8), rand_bytes(8)
    lines.append(f"des {hx(key)} {hx(block)} {hx(des_encrypt(key, block))}")

passwords = [b"", b"SecREt01", b"password", b"Beware1", b"exactly14chars",
             b"fifteen-chars!!", b"a much longer pass phrase than fourteen",
             b"caf\xe9 \xe9t\xe9", bytes(range(1, 20))]
challenges = [bytes.fromhex("0123456789ABCDEF"), rand_bytes(8), bytes(8)]
for pw in passwords:
    for ch in challenges:
        lines.append(f"responses {hx(pw)} {hx(ch)} {hx(lm_response(pw, ch))} {hx(nt_response(pw, ch))}")

for host, domain in [(b"", b""), (b"PC", b"DOM"), (b"workstation", b""), (b"", b"corp.example"),
                     (b"Mixed-Case.host", b"Some Domain")]:
    lines.append(f"message1 {hx(host)} {hx(domain)} {message1(host, domain)}")

for domain, host, user, pw in [(b"", b"HOST5", b"user", b"SecREt01"),
                               (b"DOMAIN", b"WORKSTATION", b"user", b"SecREt01"),
                               (b"", b"", b"", b""),
                               (b"corp", b"larkpc", b"Alice.Smith", b"a much longer pass phrase"),
                               (b"", b"h", b"J\xe9r\xf4me", b"caf\xe9")]:
    ch = rand_bytes(8)
    lines.append(f"message3 {hx(domain)} {hx(host)} {hx(user)} {hx(pw)} {hx(ch)} "
                 f"{message3(domain, host, user, pw, ch)}")

path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vectors.txt")
with open(path, "w", newline="\n") as f:
    f.write("\n".join(lines) + "\n")
