#!/usr/bin/env python3
"""Writes the header that holds the about text enciphered, so that it does
not stand in the program file as plain text: make_about.py VERSION OUTPUT.

The text is scrambled as stored passwords are (the program decodes it with
ScramblePassword and the key below), with the first byte fixed so that the
same version always gives the same header."""

import sys

KEY = "Nightshelf"
FIRST = 0x5A

TEXT = ("Nightshelf, версия {version}\r\n"
        "\r\n"
        "Резервное копирование информационных баз 1С:Предприятия 8 по расписанию.")


def scramble(data, key):
    out = [FIRST]
    previous = FIRST
    position = 0
    for byte in data:
        position = position + 1 if position < len(key) else 1
        previous = ((byte + previous) % 255) ^ key[position - 1]
        out.append(previous)
    return "".join("%02X" % b for b in out)


def main():
    version, output = sys.argv[1], sys.argv[2]
    hex_text = scramble(TEXT.format(version=version).encode("cp1251"), KEY.encode("cp1251"))
    with open(output, "w") as header:
        header.write("#pragma once\n// Made by make_about.py from the project's version; do not edit.\n")
        header.write("namespace ns {\n")
        header.write('inline constexpr char AboutTextKey[] = "%s";\n' % KEY)
        header.write('inline constexpr char AboutTextEnciphered[] = "%s";\n' % hex_text)
        header.write("}  // namespace ns\n")


if __name__ == "__main__":
    main()
