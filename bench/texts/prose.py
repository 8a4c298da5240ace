"""What the bench texts' extraction scripts share: typographic characters made plain and
spaces collapsed, so that every character of a text can be typed on the keys."""
import re

PLAIN = {'“': '"', '”': '"', '‘': "'", '’': "'", '—': ' - ', '–': '-', '…': '...', '\u00a0': ' '}


def plain(text):
    for fancy, simple in PLAIN.items():
        text = text.replace(fancy, simple)
    return re.sub(r'\s+', ' ', text).strip()
