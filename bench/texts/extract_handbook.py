#!/usr/bin/python3
"""Extracts a benchmark text of present-day English from the Debian package debian-handbook
("The Debian Administrator's Handbook" by Raphaël Hertzog and Roland Mas, GPL-2+ or
CC-BY-SA 3.0):

    apt-get download debian-handbook && dpkg-deb -x debian-handbook_*.deb pkg
    bench/texts/extract_handbook.py pkg/usr/share/doc/debian-handbook/html/en-US bench/texts

It takes the book's expository parts (the foreword, the preface and the first chapter, on the
Debian project: its aims, its organisation and its releases, less a section of addresses), not
the administration chapters with their commands. Only running prose is kept: the paragraphs,
including those of the side notes, but not their headings, nor lists, tables, examples or
screens, and no paragraph that shows a command, a file name, a literal, an address or a manual
page. Paragraphs become single lines with typographic quotes and dashes made plain, and the text
ends at the first paragraph end past 6,000 words.
"""
import html
import re
import sys
from html.parser import HTMLParser

from prose import plain

PAGES = [
    'foreword.html', 'preface.html', 'sect.who-is-this-book-for.html', 'sect.selected-approach.html',
    'the-debian-project.html', 'sect.foundation-documents.html', 'sect.debian-internals.html',
    'sect.role-of-distributions.html', 'sect.release-lifecycle.html',
]
# Elements whose presence marks a paragraph as technical rather than prose.
TECHNICAL = {'command', 'literal', 'filename', 'computeroutput', 'replaceable', 'userinput', 'url', 'email',
             'citerefentry', 'refentrytitle', 'varname', 'keycap', 'option', 'guibutton', 'xref', 'ulink'}
WORDS = 6000


class Paragraphs(HTMLParser):
    """The text of each <div class="para"> that is not inside a list, table, example or figure."""

    def __init__(self):
        super().__init__()
        self.stack = []  # (tag, classes) of the open elements
        self.current = None
        self.technical = False
        self.result = []

    def handle_starttag(self, tag, attrs):
        classes = set((dict(attrs).get('class') or '').split())
        if tag in ('br', 'img', 'meta', 'link', 'hr', 'input'):
            return
        self.stack.append((tag, classes))
        if self.current is not None:
            if classes & TECHNICAL or tag == 'a' and 'indexterm' not in classes and dict(attrs).get('href'):
                self.technical = True
            return
        if tag == 'div' and 'para' in classes:
            outer = set().union(*(c for _, c in self.stack[:-1]))
            skip = outer & {'itemizedlist', 'orderedlist', 'variablelist', 'table', 'example', 'figure',
                            'informalexample', 'calloutlist', 'docnav', 'mediaobject'}
            if not skip:
                self.current, self.technical = [], False

    def handle_endtag(self, tag):
        if not self.stack:
            return
        while self.stack:
            open_tag, classes = self.stack.pop()
            if open_tag == tag:
                break
        if self.current is not None and tag == 'div' and not any(
                t == 'div' and 'para' in c for t, c in self.stack):
            text = re.sub(r'\s+', ' ', ''.join(self.current)).strip()
            if text and not self.technical:
                self.result.append(text)
            self.current = None

    def handle_data(self, data):
        if self.current is not None:
            self.current.append(data)


def main():
    chosen, words = [], 0
    for page in PAGES:
        parser = Paragraphs()
        parser.feed(open(f'{sys.argv[1]}/{page}', encoding='utf-8').read())
        for p in parser.result:
            if words >= WORDS:
                break
            p = plain(html.unescape(p))
            chosen.append(p)
            words += len(p.split())
    with open(f'{sys.argv[2]}/debian-handbook.txt', 'w', encoding='utf-8') as out:
        out.write('\n'.join(chosen) + '\n')


if __name__ == '__main__':
    main()
