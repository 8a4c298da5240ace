#pragma once
// Writes small language models in the program's format (the layout that
// src/completion/data/make_model.py writes), from log10 values given by hand.
#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace wendrel::test {

struct ModelBuilder {
    struct Gram {
        double logProbability;
        double backoff = 0.0;
    };
    std::map<QByteArray, Gram> words;                                   // "<s>" is never a candidate
    std::map<std::pair<QByteArray, QByteArray>, Gram> pairs;            // (v, w): p(w | v)
    std::map<std::tuple<QByteArray, QByteArray, QByteArray>, double> triples; // (u, v, w): p(w | u v)
    std::map<QByteArray, QByteArray> spellings;                         // "london" -> "London"

    QByteArray bytes() const
    {
        std::vector<QByteArray> keys;
        for (const auto &entry : words)
            keys.push_back(entry.first); // a std::map: already in byte order
        const auto id = [&](const QByteArray &key) {
            return quint32(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
        };
        const auto fixed = [](double value, int limit) { return quint32(std::clamp(int(std::lround(-value * 512)), 0, limit)); };
        const auto signedFixed = [](double value) { return quint32(quint16(qint16(std::lround(value * 512)))); };

        std::vector<quint32> wordStart, unigram, pairStart(keys.size() + 1, 0), pairWords, contexts, tripleStart, tripleWords;
        std::vector<qint16> contextBackoff;
        QByteArray keyBytes;
        for (const QByteArray &key : keys) {
            wordStart.push_back(quint32(keyBytes.size()));
            keyBytes += key;
            const Gram &g = words.at(key);
            const quint32 prob = key.startsWith('<') ? 0xffff : fixed(g.logProbability, 0xfffe);
            unigram.push_back(prob | (signedFixed(g.backoff) << 16));
        }
        wordStart.push_back(quint32(keyBytes.size()));
        std::vector<std::pair<quint32, quint32>> pairList;
        for (const auto &entry : pairs)
            pairList.push_back({id(entry.first.first), id(entry.first.second)});
        // Every triple's context is a pair.
        for (const auto &entry : triples) {
            const std::pair<quint32, quint32> context{id(std::get<0>(entry.first)), id(std::get<1>(entry.first))};
            if (std::find(pairList.begin(), pairList.end(), context) == pairList.end())
                pairList.push_back(context);
        }
        std::sort(pairList.begin(), pairList.end());
        for (size_t i = 0; i < pairList.size(); ++i) {
            pairStart[pairList[i].first + 1] = quint32(i + 1);
            const auto it = pairs.find({keys[pairList[i].first], keys[pairList[i].second]});
            const Gram g = it == pairs.end() ? Gram{-3.0} : it->second;
            pairWords.push_back(pairList[i].second | (fixed(g.logProbability, 16383) << 18));
        }
        for (size_t i = 1; i < pairStart.size(); ++i)
            pairStart[i] = std::max(pairStart[i], pairStart[i - 1]);
        std::map<quint32, std::vector<std::pair<quint32, double>>> byContext;
        for (const auto &[key, p] : triples) {
            const std::pair<quint32, quint32> context{id(std::get<0>(key)), id(std::get<1>(key))};
            const quint32 index = quint32(std::find(pairList.begin(), pairList.end(), context) - pairList.begin());
            byContext[index].push_back({id(std::get<2>(key)), p});
        }
        for (auto &[index, list] : byContext) {
            contexts.push_back(index);
            tripleStart.push_back(quint32(tripleWords.size()));
            const auto pair = pairs.find({keys[pairList[index].first], keys[pairList[index].second]});
            contextBackoff.push_back(qint16(std::lround((pair == pairs.end() ? 0.0 : pair->second.backoff) * 512)));
            std::sort(list.begin(), list.end());
            for (const auto &[word, p] : list)
                tripleWords.push_back(word | (fixed(p, 16383) << 18));
        }
        tripleStart.push_back(quint32(tripleWords.size()));
        std::vector<quint32> top;
        for (quint32 i = 0; i < keys.size(); ++i) {
            if (!keys[i].startsWith('<'))
                top.push_back(i);
        }
        std::sort(top.begin(), top.end(), [&](quint32 a, quint32 b) {
            return words.at(keys[a]).logProbability > words.at(keys[b]).logProbability;
        });
        std::vector<quint32> displayWord, displayStart;
        QByteArray displayBytes;
        for (const auto &[key, shown] : spellings) {
            displayWord.push_back(id(key));
            displayStart.push_back(quint32(displayBytes.size()));
            displayBytes += shown;
        }
        displayStart.push_back(quint32(displayBytes.size()));

        QByteArray body;
        const auto pad = [&body] {
            while (body.size() % 4)
                body += '\0';
        };
        const auto u32 = [&body](const std::vector<quint32> &values) {
            for (quint32 v : values) {
                char le[4];
                qToLittleEndian(v, le);
                body.append(le, 4);
            }
        };
        u32(wordStart);
        u32(unigram);
        u32(pairStart);
        u32(pairWords);
        u32(contexts);
        u32(tripleStart);
        for (qint16 b : contextBackoff) {
            char le[2];
            qToLittleEndian(b, le);
            body.append(le, 2);
        }
        pad();
        u32(tripleWords);
        u32(top);
        u32(displayWord);
        u32(displayStart);
        body += keyBytes;
        pad();
        body += displayBytes;
        pad();
        QByteArray header("WENDRELM");
        const std::vector<quint32> counts{1, 0, quint32(keys.size()), quint32(pairWords.size()),
                                          quint32(tripleWords.size()), quint32(contexts.size()),
                                          quint32(displayWord.size()), quint32(top.size()),
                                          quint32(keyBytes.size()), quint32(displayBytes.size())};
        for (quint32 v : counts) {
            char le[4];
            qToLittleEndian(v, le);
            header.append(le, 4);
        }
        QByteArray all = header + body;
        qToLittleEndian(quint32(all.size()), all.data() + 12);
        return all;
    }
};

} // namespace wendrel::test
