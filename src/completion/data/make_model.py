#!/usr/bin/python3
"""Builds english.lm, the language model of word completion, from the English n-gram model of
the Debian package pocketsphinx-en-us (BSD-2 licence, Carnegie Mellon University):

    apt-get download pocketsphinx-en-us && dpkg-deb -x pocketsphinx-en-us_*.deb /tmp/ps
    apt-get install wamerican    # only to tell names ("Aaron") from words
    src/completion/data/make_model.py \\
        /tmp/ps/usr/share/pocketsphinx/model/en-us/en-us.lm.bin \\
        src/completion/data/words.txt src/completion/data/english.lm

It takes several minutes and 2 GB of memory (pure Python) and its output is committed, so builds never run it.

The source is Sphinx's "trie" binary format (sphinxbase, lm/ngram_model_trie.c and
lm/lm_trie.c): a header "Trie Language Model", the order and the n-gram counts; the tables of
the quantised 2- and 3-gram values; the 1-grams (log probability, back-off weight, index of
their first 2-gram); the bit-packed 2-grams and 3-grams; the words, NUL-separated. Values are
logarithms to the base 1.0001. The trie is reversed: under a word w come the words v that
precede it (the 2-gram "v w"), and under those the words u of "u v w".

What changes on the way:
- Words that cannot be typed as one word (with a hyphen or a full stop, or beginning with an
  apostrophe) are dropped with their n-grams.
- Each word keeps the spelling in which the dictionary (words.txt) has it ("I", "London"); a
  word the dictionary lacks is written capitalised when the system word list
  (/usr/share/dict/american-english) knows it only so (names).
- Pruning keeps an n-gram only where it pays: where it brings its word among the candidates
  shown (the RANK best in that context) after fewer typed letters (none included) than the
  shorter context alone would; or where it keeps its word out of them: an n-gram less likely
  than the shorter context makes its word (after "her", "the" is rarer than "the" anywhere)
  pays where the shorter context alone would show that word instead of a likelier one. Of
  those, the ones that save the most keys in expected text (keys saved, times the probability
  of the context and of the word in it; for a word kept out, the probability of the word it
  leaves shown, for each prefix) are kept until the file has its size (SIZE_BUDGET). 2-grams
  that lead to kept 3-grams stay too.

The output, all numbers little-endian, sections 4-byte aligned (LanguageModel.h reads it):
    header: "WENDRELM", version, file size, then the counts: words, pairs, triples, contexts,
            display forms, top words, key bytes, display bytes (uint32 each)
    wordStart   uint32[words + 1]  offsets of the keys (small letters, UTF-8, sorted bytewise)
    unigram     uint32[words]      low 16 bits: -log10 p * 512; high 16: log10 back-off * 512
    pairStart   uint32[words + 1]  first pair of each first word
    pairs       uint32[pairs]      next word (low 18 bits), -log10 p * 512 (high 14 bits)
    contexts    uint32[contexts]   sorted indexes of the pairs that triples follow
    tripleStart uint32[contexts + 1]
    contextBackoff int16[contexts] (padded to 4 bytes) log10 back-off * 512
    triples     uint32[triples]    as pairs
    top         uint32[top]        the most probable words, most probable first
    displayWord uint32[display]    words written other than their key, sorted
    displayStart uint32[display + 1]
    keys, display texts            bytes (each padded to 4)
"""
import collections
import heapq
import math
import struct
import sys

RANK = 3            # candidates shown
TOP_WORDS = 32
SCALE = 512         # fixed point of log10 values
PROB_LIMIT = 16383  # 14 bits
LOG_BASE = math.log10(1.0001)
WORD_BITS = 18
SIZE_BUDGET = 11700000  # bytes of the whole file, about (at most 12 MB)
WORD_LIST = '/usr/share/dict/american-english'


def read_sphinx_trie(path):
    data = open(path, 'rb').read()
    magic = b'Trie Language Model'
    if not data.startswith(magic):
        sys.exit('%s: not a Sphinx trie language model' % path)
    pos = len(magic)
    order = data[pos]
    pos += 1
    if order != 3:
        sys.exit('%s: order %d, expected 3' % (path, order))
    counts = struct.unpack_from('<3I', data, pos)
    pos += 12 + 4  # the counts; a word that once gave the quantiser's kind
    tables = struct.unpack_from('<%df' % (65536 * 3), data, pos)
    pos += 65536 * 3 * 4
    pair_prob, pair_backoff, triple_prob = tables[:65536], tables[65536:131072], tables[131072:]
    n1, n2, n3 = counts
    unigrams = [struct.unpack_from('<ffI', data, pos + 12 * i) for i in range(n1 + 1)]
    pos += 12 * (n1 + 1)
    word_bits = n1.bit_length()
    next_bits = n3.bit_length()
    middle_bits = word_bits + 32 + next_bits
    middle = pos
    pos += ((1 + n2) * middle_bits + 7) // 8 + 8
    longest_bits = word_bits + 16
    longest = pos
    pos += ((1 + n3) * longest_bits + 7) // 8 + 8
    (text_size,) = struct.unpack_from('<i', data, pos)
    pos += 4
    words = [w.decode('utf-8') for w in data[pos:pos + text_size].split(b'\0')[:-1]]
    if len(words) != n1 or pos + text_size != len(data):
        sys.exit('%s: damaged (sizes do not add up)' % path)

    word_mask = (1 << word_bits) - 1
    next_mask = (1 << next_bits) - 1

    def middle_entry(i):
        bit = i * middle_bits
        v = int.from_bytes(data[middle + (bit >> 3):middle + (bit >> 3) + 10], 'little') >> (bit & 7)
        return v & word_mask, (v >> word_bits) & 0xffff, (v >> (word_bits + 16)) & 0xffff, (v >> (word_bits + 32)) & next_mask

    def longest_entry(i):
        bit = i * longest_bits
        v = int.from_bytes(data[longest + (bit >> 3):longest + (bit >> 3) + 6], 'little') >> (bit & 7)
        return v & word_mask, (v >> word_bits) & 0xffff

    p1 = [u[0] * LOG_BASE for u in unigrams[:n1]]
    bo1 = [u[1] * LOG_BASE for u in unigrams[:n1]]
    pairs = {}     # (v, w) -> (log10 p(w | v), log10 back-off of "v w")
    triples = {}   # (u, v, w) -> log10 p(w | u v)
    for w in range(n1):
        first, last = unigrams[w][2], unigrams[w + 1][2]
        for i in range(first, last):
            v, bo_code, prob_code, next_first = middle_entry(i)
            next_last = middle_entry(i + 1)[3]
            pairs[(v, w)] = (pair_prob[prob_code] * LOG_BASE, pair_backoff[bo_code] * LOG_BASE)
            for j in range(next_first, next_last):
                u, code = longest_entry(j)
                triples[(u, v, w)] = triple_prob[code] * LOG_BASE
    return words, p1, bo1, pairs, triples


def typeable(word):
    if word in ('<s>', '</s>'):
        return True
    return word[0].isalpha() and all(c.isalpha() or c == "'" for c in word) and not word.endswith("'")


def display_forms(dictionary_path):
    forms, counts = {}, {}
    for line in open(dictionary_path, encoding='utf-8'):
        parts = line.split()
        if len(parts) == 2:
            forms[parts[0].lower()] = parts[0]
            counts[parts[0].lower()] = int(parts[1])
    capitalised = {}
    try:
        system = set(l.strip() for l in open(WORD_LIST, encoding='utf-8'))
        for word in sorted(system):  # sorted: the same output whatever the hash seed
            if word[:1].isupper() and word.lower() not in system:
                capitalised[word.lower()] = word
    except OSError:
        print('warning: %s missing: names stay in small letters' % WORD_LIST, file=sys.stderr)
    return forms, counts, capitalised


def top_by_prefix(scores, words, limit):
    """prefix -> the best (score, word) pairs of the words that begin with it, best first."""
    best = collections.defaultdict(list)
    for w, s in scores.items():
        word = words[w]
        for k in range(len(word)):
            heap = best[word[:k]]
            if len(heap) < limit:
                heapq.heappush(heap, (s, w))
            elif s > heap[0][0]:
                heapq.heapreplace(heap, (s, w))
    return {p: sorted(h, reverse=True) for p, h in best.items()}


class BackOff:
    """prefix -> the best (score, word) after a word: its pairs, then the unigrams backed off."""

    def __init__(self, pair_tops, pair_scores, unigram_tops, backoff):
        self.pair_tops, self.pair_scores = pair_tops, pair_scores
        self.unigram_tops, self.backoff = unigram_tops, backoff
        self.cache = {}

    def get(self, prefix, default=()):
        if prefix not in self.cache:
            merged = self.pair_tops.get(prefix, []) + [(s + self.backoff, w) for s, w in self.unigram_tops.get(prefix, ())
                                                       if w not in self.pair_scores]
            self.cache[prefix] = sorted(merged, reverse=True)[:RANK + 1]
        return self.cache[prefix]


def gains(followers, words, fallback, backoff_tops, offset):
    """word -> what its n-gram is worth in this context: for the followers (word -> log p in
    this context) that bring their word among the RANK best after fewer typed letters than
    backing off (fallback(word): its score without this n-gram) would, how many fewer keys
    (an int); for those that keep their word out of the RANK best where backing off would
    show it, the sum over those prefixes of the probability of the word it would push out (a
    float). backoff_tops: prefix -> best (score, word) of the back-off, to which offset is
    added."""
    tops = collections.defaultdict(list)
    for w, s in followers.items():
        word = words[w]
        for k in range(len(word)):
            heap = tops[word[:k]]
            if len(heap) <= RANK:
                heapq.heappush(heap, (s, w))
            elif s > heap[0][0]:
                heapq.heapreplace(heap, (s, w))
    kept = {}
    for w, s in followers.items():
        word = words[w]
        without = fallback(w)
        lower = without >= s  # backing off would rate the word higher
        shown_with = shown_without = len(word)
        pushed_out = 0.0
        for k in range(len(word)):
            prefix = word[:k]
            others = [x for x, v in tops[prefix] if v != w]
            others += [x + offset for x, v in backoff_tops.get(prefix, ()) if v != w and v not in followers]
            others.sort(reverse=True)
            others = others[:RANK]
            third = others[-1] if len(others) == RANK else -1e9
            if lower:
                if s > third:
                    break  # shown from here on either way
                if without > third:
                    pushed_out += 10 ** third
                continue
            if s > third:
                shown_with = min(shown_with, k)
            if without > third:
                shown_without = k
                break
        if lower:
            if pushed_out > 0:
                kept[w] = pushed_out
        elif shown_with < shown_without:
            kept[w] = shown_without - shown_with
    return kept


def worth(gain, context_log, word_log):
    """Keys an n-gram saves in expected text: keys saved by its word (an int from gains())
    times the probability of the context and of the word in it; or the probability of the
    words it leaves shown (a float) times that of the context."""
    if isinstance(gain, float):
        return gain * 10 ** context_log
    return gain * 10 ** (context_log + word_log)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, dictionary_path, output = sys.argv[1:]
    words, p1, bo1, pairs, triples = read_sphinx_trie(source)
    print('read %d words, %d pairs, %d triples' % (len(words), len(pairs), len(triples)), file=sys.stderr)

    keep = [typeable(w) for w in words]
    start, end = words.index('<s>'), words.index('</s>')
    forms, _, capitalised = display_forms(dictionary_path)

    # Scores of words as candidates: never the sentence markers.
    candidate = [keep[w] and w not in (start, end) for w in range(len(words))]
    unigram_scores = {w: p1[w] for w in range(len(words)) if candidate[w]}
    unigram_tops = top_by_prefix(unigram_scores, words, RANK + 1)

    followers = collections.defaultdict(dict)
    for (v, w), (p, _) in pairs.items():
        if keep[v] and candidate[w]:
            followers[v][w] = p
    # How often a context comes: a word's probability; the start of a sentence, that of its end.
    context_log = list(p1)
    context_log[start] = p1[end]
    pair_gain = {}
    for v, f in followers.items():
        for w, g in gains(f, words, lambda w: bo1[v] + p1[w], unigram_tops, bo1[v]).items():
            pair_gain[(v, w)] = worth(g, context_log[v], f[w])
    kept_pairs = set(pair_gain)
    print('pairs that pay: %d' % len(kept_pairs), file=sys.stderr)

    def pair_score(v, w):
        return pairs[(v, w)][0] if (v, w) in kept_pairs else bo1[v] + p1[w]

    contexts = collections.defaultdict(dict)
    for (u, v, w), p in triples.items():
        if keep[u] and keep[v] and candidate[w]:
            contexts[(u, v)][w] = p
    triple_gain = {}
    by_second = collections.defaultdict(list)
    for (u, v) in contexts:
        by_second[v].append(u)
    for v, firsts in by_second.items():
        # The pairs of v as back-off, with the unigrams behind them.
        pair_scores = {w: pair_score(v, w) for w in followers.get(v, {}) if (v, w) in kept_pairs}
        back = BackOff(top_by_prefix(pair_scores, words, RANK + 1), pair_scores, unigram_tops, bo1[v])
        for u in firsts:
            bo2 = pairs.get((u, v), (0.0, 0.0))[1]
            f = contexts[(u, v)]
            context = context_log[u] + (pairs[(u, v)][0] if (u, v) in pairs else bo1[u] + p1[v])
            for w, g in gains(f, words, lambda w: bo2 + pair_score(v, w), back, bo2).items():
                triple_gain[(u, v, w)] = worth(g, context, f[w])
    print('triples that pay: %d' % len(triple_gain), file=sys.stderr)

    # The n-grams that save the most keys in expected text, until the file has its size: a
    # pair or triple costs its entry, a new context of triples its index.
    ranked = sorted([(g, key) for key, g in pair_gain.items()] + [(g, key) for key, g in triple_gain.items()],
                    reverse=True)
    budget = SIZE_BUDGET - 16 * len(words) - 200000  # words, their index and spellings
    kept_pairs, kept_triples, contexts_used = set(), set(), set()
    for g, key in ranked:
        if len(key) == 2:
            if key in kept_pairs:
                continue
            cost = 4
        else:
            cost = 4 + (0 if key[:2] in contexts_used else 10) + (0 if key[:2] in kept_pairs else 4)
        if budget < cost:
            break
        budget -= cost
        if len(key) == 2:
            kept_pairs.add(key)
        else:
            kept_triples.add(key)
            contexts_used.add(key[:2])
            kept_pairs.add(key[:2])  # the context of a triple is found through its pair
    print('kept %d pairs, %d triples' % (len(kept_pairs), len(kept_triples)), file=sys.stderr)

    write_model(output, words, keep, candidate, p1, bo1, pairs, triples, kept_pairs, kept_triples,
                forms, capitalised)


def fixed(value, limit):
    return max(0, min(limit, round(-value * SCALE)))


def signed(value):
    return max(-32768, min(32767, round(value * SCALE)))


def write_model(output, words, keep, candidate, p1, bo1, pairs, triples, kept_pairs, kept_triples,
                forms, capitalised):
    order = sorted((w for w in range(len(words)) if keep[w]), key=lambda w: words[w].encode('utf-8'))
    new_id = {w: i for i, w in enumerate(order)}
    assert len(order) < (1 << WORD_BITS)

    keys = bytearray()
    word_start = []
    display = []
    for w in order:
        word_start.append(len(keys))
        keys += words[w].encode('utf-8')
        shown = forms.get(words[w]) or capitalised.get(words[w]) or words[w]
        if shown != words[w] and candidate[w]:
            display.append((new_id[w], shown.encode('utf-8')))
    word_start.append(len(keys))

    unigram = []
    for w in order:
        prob = fixed(p1[w], 0xffff) if candidate[w] else 0xffff
        unigram.append(prob | ((signed(bo1[w]) & 0xffff) << 16))

    pair_list = sorted((new_id[v], new_id[w]) for (v, w) in kept_pairs)
    pair_index = {}
    pair_start = [0] * (len(order) + 1)
    pair_words = []
    for i, (v, w) in enumerate(pair_list):
        pair_start[v + 1] = i + 1
        pair_index[(v, w)] = i
        pair_words.append(w | (fixed(pairs[(order[v], order[w])][0], PROB_LIMIT) << WORD_BITS))
    for i in range(1, len(pair_start)):
        pair_start[i] = max(pair_start[i], pair_start[i - 1])

    by_context = collections.defaultdict(list)
    for (u, v, w) in kept_triples:
        by_context[pair_index[(new_id[u], new_id[v])]].append(new_id[w])
    context_list = sorted(by_context)
    triple_start, triple_words, context_backoff = [], [], []
    for c in context_list:
        triple_start.append(len(triple_words))
        u, v = pair_list[c]
        context_backoff.append(signed(pairs[(order[u], order[v])][1]))
        for w in sorted(by_context[c]):
            triple_words.append(w | (fixed(triples[(order[u], order[v], order[w])], PROB_LIMIT) << WORD_BITS))
    triple_start.append(len(triple_words))

    top = sorted((w for w in order if candidate[w]), key=lambda w: -p1[w])[:TOP_WORDS]
    top = [new_id[w] for w in top]

    display_text = bytearray()
    display_start = []
    for _, text in display:
        display_start.append(len(display_text))
        display_text += text
    display_start.append(len(display_text))

    def u32(values):
        return struct.pack('<%dI' % len(values), *values)

    def padded(data):
        return bytes(data) + b'\0' * (-len(data) % 4)

    body = b''.join([
        u32(word_start), u32(unigram), u32(pair_start), u32(pair_words), u32(context_list),
        u32(triple_start), padded(struct.pack('<%dh' % len(context_backoff), *context_backoff)),
        u32(triple_words), u32(top), u32([w for w, _ in display]), u32(display_start),
        padded(keys), padded(display_text)])
    header = b'WENDRELM' + u32([1, 0, len(order), len(pair_words), len(triple_words), len(context_list),
                                len(display), len(top), len(keys), len(display_text)])
    size = len(header) + len(body)
    header = header[:12] + struct.pack('<I', size) + header[16:]
    with open(output, 'wb') as f:
        f.write(header + body)
    print('%s: %d words (%d written otherwise), %d pairs, %d triples in %d contexts, %d bytes'
          % (output, len(order), len(display), len(pair_words), len(triple_words), len(context_list), size),
          file=sys.stderr)


if __name__ == '__main__':
    main()
