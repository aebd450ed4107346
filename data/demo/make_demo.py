#!/usr/bin/env python3
"""Writes the demo catalogues (Shift_JIS, CR LF) in the program's grammar layout."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def entry(value, name, reading):
    return f'    <P valstr="{value}">/{name}/{reading or "みていぎ"};</P>'


def voice(vid, dur, flags, name, reading):
    value = f"{vid},{dur},{flags}" if flags else f"{vid},{dur}"
    return entry(value, name, reading)


def write(path, listname, lines):
    head = [
        '<?xml version="1.0" encoding="SHIFT_JIS"?>', "<GRAMMAR>",
        '  <RULE name="Quorvel" toplevel="ACTIVE">', "    <L>", "      <P>",
        '        <RULEREF name="TEMMO"/>', "      </P>", "    </L>", "  </RULE>",
        '  <RULE name="TEMMO" toplevel="INACTIVE">', f'   <L propname="{listname}">',
    ]
    tail = ["    </L>", "    </RULE>", "</GRAMMAR>"]
    text = "\r\n".join(head + lines + tail) + "\r\n"
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(text.encode("cp932"))


write("Ninshiki.xml", "Ninshiki", [
    voice(101, 2, 0, "こんにちは", "こんにちは"),
    voice(102, 2, 0, "おはよう", "おはよう"),
    voice(103, 3, 1, "テモ", "ても"),
    voice(104, 3, 2, "ヌムレ", "ぬむれ"),
    voice(105, 4, 3, "ありがとう", "ありがとう"),
    voice(106, 2, 1, "さようなら", None),
    voice(199, 2, 0, "UNDEFINE", None),
])
write("English.xml", "English", [
    voice(201, 2, 0, "Hello", "hello"),
    voice(202, 2, 0, "Good morning", "good morning"),
    voice(203, 3, 1, "Thank you", "thank you"),
    voice(204, 3, 2, "See you", None),
])
write("voice.xml", "voice", [
    voice(1, 3, 0, "はい", "はい"),
    voice(2, 3, 0, "いいえ", "いいえ"),
    voice(3, 5, 1, "うれしい", "うれしい"),
    voice(4, 5, 2, "かなしい", None),
])
write("ura_voice.xml", "ura_voice", [
    voice(51, 2, 0, "ひそひそ", "ひそひそ"),
    voice(52, 4, 3, "うらごえ", None),
])
write("Program.xml", "Program", [
    entry(".\\programs\\walk.TXA", "walk", "あるく"),
    entry(".\\programs\\dance.TXA", "dance", "おどる"),
    entry(".\\programs\\sleep.TXA", "sleep", None),
])
# The arithmetic dictionary: a number, an operator and a number, so that
# "さん たす よん" is heard as 3たす4 and sent as 3 + 4.
NUMBERS = ["ぜろ", "いち", "に", "さん", "よん", "ご", "ろく", "なな", "はち", "きゅう", "じゅう"]
NUMBERS += ["じゅう" + r for r in NUMBERS[1:10]] + ["にじゅう"]
calc = [
    '<?xml version="1.0" encoding="SHIFT_JIS"?>', "<GRAMMAR>",
    '  <RULE name="Quorvel" toplevel="ACTIVE">', "    <L>",
    '      <P><RULEREF name="NUM"/><RULEREF name="OP"/><RULEREF name="NUM"/></P>',
    '      <P><RULEREF name="NUM"/></P>', "    </L>", "  </RULE>",
    '  <RULE name="NUM" toplevel="INACTIVE">', '   <L propname="calc">',
] + [voice(i, 1, 0, str(i), r) for i, r in enumerate(NUMBERS)] + [
    "    </L>", "  </RULE>",
    '  <RULE name="OP" toplevel="INACTIVE">', "   <L>",
    voice(300, 1, 0, "たす", "たす"),
    voice(301, 1, 0, "ひく", "ひく"),
    voice(302, 1, 0, "かける", "かける"),
    voice(303, 1, 0, "わる", "わる"),
    "    </L>", "  </RULE>", "</GRAMMAR>",
]
with open(os.path.join(HERE, "calc", "calc.xml"), "wb") as f:
    f.write(("\r\n".join(calc) + "\r\n").encode("cp932"))

PROGRAMS = {
    "walk.TXA": "; walk forward a little\r\nMOVE 10\r\nEND\r\n",
    "dance.TXA": "; turn left and right\r\nTURN 90\r\nTURN -90\r\nEND\r\n",
    "wave.txa": "; raise an arm\r\nARM UP\r\nARM DOWN\r\nEND\r\n",
}
for name, body in PROGRAMS.items():
    with open(os.path.join(HERE, "programs", name), "wb") as f:
        f.write(body.encode("ascii"))
