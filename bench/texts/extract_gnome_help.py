#!/usr/bin/python3
"""Extracts a benchmark text of present-day English from the Debian package gnome-user-docs
(the GNOME Help, by the GNOME Documentation Project, CC-BY-SA 3.0):

    apt-get download gnome-user-docs && dpkg-deb -x gnome-user-docs_*.deb pkg
    bench/texts/extract_gnome_help.py pkg/usr/share/help/C/gnome-help bench/texts

The help's topics are Mallard pages. Only running prose is kept: the paragraphs of the pages
(those of notes too), not titles, steps, lists, tables or the editors' comments, and no
paragraph that shows a command, a file name, a key, typed text or a link without words of its
own, nor one that does not end as a sentence does (the words of a button). The words of buttons and menus stay as words of the sentence ("Click Power to open the
panel."). Pages are taken in the order of their names, every STRIDE-th one so that the topics
vary, paragraphs become single lines with typographic quotes and dashes made plain, and the
text ends at the first paragraph end past 6,000 words.
"""
import os
import sys
import xml.etree.ElementTree as ET

from prose import plain

MALLARD = '{http://projectmallard.org/1.0/}'
# Blocks whose paragraphs are not running prose.
SKIPPED = {'info', 'title', 'subtitle', 'steps', 'list', 'terms', 'tree', 'table', 'comment', 'synopsis',
           'code', 'screen', 'media', 'links', 'figure', 'desc'}
# Inline elements that mark a paragraph as technical.
TECHNICAL = {'cmd', 'code', 'file', 'input', 'output', 'sys', 'key', 'keyseq', 'var', 'media'}
STRIDE = 2
WORDS = 6000


def local(tag):
    return tag[len(MALLARD):] if tag.startswith(MALLARD) else tag


def paragraphs(element):
    """The prose paragraphs under element, in order."""
    for child in element:
        name = local(child.tag) if isinstance(child.tag, str) else ''
        if name in SKIPPED:
            continue
        if name == 'p':
            inner = [local(e.tag) for e in child.iter() if isinstance(e.tag, str)][1:]
            if any(n in TECHNICAL for n in inner):
                continue
            if any(local(e.tag) == 'link' and not ''.join(e.itertext()).strip() for e in child.iter()
                   if isinstance(e.tag, str)):
                continue
            yield ''.join(child.itertext())
        else:
            yield from paragraphs(child)


def main():
    pages = sorted(name for name in os.listdir(sys.argv[1]) if name.endswith('.page'))
    chosen, words = [], 0
    for name in pages[::STRIDE]:
        if words >= WORDS:
            break
        root = ET.parse(os.path.join(sys.argv[1], name)).getroot()
        for p in paragraphs(root):
            p = plain(p)
            if words >= WORDS:
                break
            if p and p[-1] in '.?!:"':  # a sentence, not a button's words
                chosen.append(p)
                words += len(p.split())
    with open(os.path.join(sys.argv[2], 'gnome-help.txt'), 'w', encoding='utf-8') as out:
        out.write('\n'.join(chosen) + '\n')


if __name__ == '__main__':
    main()
