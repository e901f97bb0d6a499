#!/usr/bin/env python3
"""Reference values for Tavlo's R250 generator, computed independently of the C++ code.

    r250_reference.py table        the 250-word start table (r250_init(12345)), as C++ initialiser rows
    r250_reference.py sequence     the first 300 results of dr250() * 65536 from that start state,
                                   then the first 20 after r250_init(7), as C++ initialiser rows
"""
import sys

MASK32 = 0xFFFFFFFF


class R250:
    def __init__(self):
        self.seed = 1
        self.words = [0] * 250
        self.index = 0

    def myrand(self):
        self.seed = (self.seed * 22695477 + 1) & MASK32
        return (self.seed >> 16) & 0x7FFF

    def init(self, s):
        self.seed = s & MASK32
        self.index = 0
        self.words = [self.myrand() for _ in range(250)]
        for k in range(250):
            if self.myrand() > 16384:
                self.words[k] |= 0x8000
        for j in range(16):
            k = 11 * j + 3
            self.words[k] = (self.words[k] & (0xFFFF >> j)) | (0x8000 >> j)

    def next_word(self):
        i = self.index
        j = i + 103 if i <= 146 else i - 147
        w = self.words[i] ^ self.words[j]
        self.words[i] = w
        self.index = 0 if i >= 249 else i + 1
        return w


def rows(values, per_row=10):
    out = []
    for k in range(0, len(values), per_row):
        out.append("    " + " ".join("0x%04X," % v for v in values[k:k + per_row]))
    return "\n".join(out)


def main():
    what = sys.argv[1] if len(sys.argv) > 1 else "sequence"
    gen = R250()
    gen.init(12345)
    if what == "table":
        print(rows(gen.words))
        return
    start = [gen.next_word() for _ in range(300)]
    gen.init(7)
    seeded = [gen.next_word() for _ in range(20)]
    print("// first 300 words from the start table")
    print(rows(start))
    print("// first 20 words after r250_init(7)")
    print(rows(seeded))


if __name__ == "__main__":
    main()
