#!/usr/bin/python3
"""Extracts the benchmark texts from the Debian package r-cran-janeaustenr (Jane Austen's six
novels, public domain) without R:

    apt-get download r-cran-janeaustenr && dpkg-deb -x r-cran-janeaustenr_*.deb pkg
    bench/texts/extract_austen.py pkg/usr/lib/R/site-library/janeaustenr/data/Rdata.rdb bench/texts

The package keeps each novel as a vector of lines in R's serialisation format, compressed one
object at a time. Paragraphs are joined into single lines, the underscores that mark italics
are dropped, and each excerpt starts at the first chapter ("Chapter 1", "CHAPTER I") and ends at
the first paragraph end past 6,000 words.
"""
import re
import struct
import sys
import zlib

# Order in the package: emma, mansfield park, northanger abbey, persuasion, pride and prejudice,
# sense and sensibility. Emma and Northanger Abbey were used to tune word completion, so they are
# not benchmark texts.
BOOKS = {1: 'mansfield-park', 3: 'persuasion', 4: 'pride-and-prejudice'}
WORDS = 6000


def objects(data):
    pos = 0
    while pos < len(data) - 5:
        kind = data[pos + 4:pos + 5]
        body = zlib.decompressobj()
        out = body.decompress(data[pos + (5 if kind == b'Z' else 4):])
        yield out
        pos = len(data) - len(body.unused_data)


def strings(serialised):
    """The character strings (CHARSXP) of an XDR serialisation, in order."""
    lines, pos = [], 0
    while pos < len(serialised) - 8:
        flags, length = struct.unpack('>Ii', serialised[pos:pos + 8])
        if flags & 0xff == 9 and (length == -1 or 0 <= length <= len(serialised) - pos - 8):
            lines.append('' if length == -1 else serialised[pos + 8:pos + 8 + length].decode('utf-8', 'replace'))
            pos += 8 + max(length, 0)
        else:
            pos += 1
    return lines


def paragraphs(lines):
    result, current = [], []
    for line in lines + ['']:
        if line.strip():
            current.append(line.strip())
        elif current:
            result.append(re.sub(r'\s+', ' ', ' '.join(current).replace('_', '')))
            current = []
    return result


def main():
    data = open(sys.argv[1], 'rb').read()
    for index, serialised in enumerate(objects(data)):
        if index not in BOOKS:
            continue
        paras = paragraphs(strings(serialised))
        start = next(i for i, p in enumerate(paras) if p.upper() in ('CHAPTER 1', 'CHAPTER I'))
        chosen, words = [], 0
        for p in paras[start:]:
            if words >= WORDS:
                break
            chosen.append(p)
            words += len(p.split())
        with open(f'{sys.argv[2]}/{BOOKS[index]}.txt', 'w', encoding='utf-8') as out:
            out.write('\n'.join(chosen) + '\n')


if __name__ == '__main__':
    main()
