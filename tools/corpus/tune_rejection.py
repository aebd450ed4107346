#!/usr/bin/env python3
"""Chooses the rejection threshold of each language from the utterances the
speech benchmark weighed on its development part (--weighed FILE): the
threshold that best balances in-grammar phrases kept right and other speech
rejected, taken in the middle of the range where that balance is at its best.

  tune_rejection.py WEIGHED.tsv
"""
import sys
from collections import defaultdict


def main(path):
    rows = defaultdict(list)  # language -> (kind, grammar right, margin)
    for line in open(path, encoding="utf-8"):
        lang, _condition, kind, right, margin = line.rstrip("\n").split("\t")[:5]
        rows[lang].append((kind, right == "1", float(margin)))
    for lang, items in sorted(rows.items()):
        inside = [(r, m) for k, r, m in items if k == "in"]
        others = [(r, m) for k, r, m in items if k == "other"]
        candidates = sorted({round(m, 1) for _, _, m in items})
        scored = []
        for t in candidates:
            kept = sum(1 for r, m in inside if r and m >= t) / max(1, len(inside))
            rejected = sum(1 for empty, m in others if empty or m < t) / max(1, len(others))
            scored.append((min(kept / 0.95, rejected / 0.90), kept, rejected, t))
        best = max(s[0] for s in scored)
        plateau = [s for s in scored if s[0] >= best - 1e-9]
        mid = plateau[len(plateau) // 2]
        print(f"{lang}: threshold {mid[3]:.1f} (range {plateau[0][3]:.1f} to {plateau[-1][3]:.1f}): "
              f"in-grammar kept {100 * mid[1]:.1f}%, other speech rejected {100 * mid[2]:.1f}% "
              f"({len(inside)} in-grammar, {len(others)} other utterances)")


if __name__ == "__main__":
    main(sys.argv[1])
