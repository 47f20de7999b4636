#!/usr/bin/env python3
# Writes the built-in iTerm2 colour presets from the published palettes of these schemes.
# Run it in this folder; the files it writes are committed as they are.
import plistlib

ANSI_NAMES = [f"Ansi {i} Color" for i in range(16)]
EXTRA = ["Background Color", "Foreground Color", "Bold Color", "Cursor Color",
         "Cursor Text Color", "Selection Color", "Selected Text Color"]

SOLARIZED = "073642 dc322f 859900 b58900 268bd2 d33682 2aa198 eee8d5 " \
            "002b36 cb4b16 586e75 657b83 839496 6c71c4 93a1a1 fdf6e3"
TANGO = "2e3436 cc0000 4e9a06 c4a000 3465a4 75507b 06989a d3d7cf " \
        "555753 ef2929 8ae234 fce94f 729fcf ad7fa8 34e2e2 eeeeec"
VGA = "000000 bb0000 00bb00 bbbb00 0000bb bb00bb 00bbbb bbbbbb " \
      "555555 ff5555 55ff55 ffff55 5555ff ff55ff 55ffff ffffff"

# ansi colours, then background, foreground, bold, cursor, cursor text, selection, selected text
PRESETS = {
    "iTerm2 Default": ("000000 c91b00 00c200 c7c400 0225c7 c930c7 00c5c7 c7c7c7 "
                       "676767 ff6d67 5ff967 fefb67 6871ff ff76ff 5ffdff feffff",
                       "000000 c7c7c7 feffff c7c7c7 ffffff b5d5ff 000000"),
    "iTerm2 Dark Background": (VGA, "000000 bbbbbb ffffff bbbbbb ffffff b5d5ff 000000"),
    "iTerm2 Light Background": (VGA, "ffffff 000000 000000 000000 ffffff b5d5ff 000000"),
    "iTerm2 Pastel Dark Background": ("4f4f4f ff6c60 a8ff60 ffffb6 96cbfe ff73fd c6c5fe eeeeee "
                                      "7c7c7c ffb6b0 ceffac ffffcc b5dcff ff9cfe dfdffe ffffff",
                                      "000000 bbbbbb ffffff ffa560 ffffff 363983 f2f2f2"),
    "iTerm2 Smoooooth": ("14191e b43c2a 00c200 c7c400 2744c7 c040be 00c5c7 c7c7c7 "
                         "686868 dd7975 58e790 ece100 a7abf2 e17ee1 60fdff ffffff",
                         "15191f dcdcdc ffffff ffffff 000000 b3d7ff 000000"),
    "iTerm2 Solarized Dark": (SOLARIZED, "002b36 839496 93a1a1 839496 073642 073642 93a1a1"),
    "iTerm2 Solarized Light": (SOLARIZED, "fdf6e3 657b83 586e75 657b83 eee8d5 eee8d5 586e75"),
    "iTerm2 Tango Dark": (TANGO, "2e3436 d3d7cf eeeeec d3d7cf 2e3436 4e5a65 eeeeec"),
    "iTerm2 Tango Light": (TANGO, "eeeeec 2e3436 000000 2e3436 eeeeec b4c7dc 2e3436"),
}


def colour(hex_text):
    return {
        "Alpha Component": 1.0,
        "Blue Component": round(int(hex_text[4:6], 16) / 255, 6),
        "Color Space": "sRGB",
        "Green Component": round(int(hex_text[2:4], 16) / 255, 6),
        "Red Component": round(int(hex_text[0:2], 16) / 255, 6),
    }


for name, (ansi, extra) in PRESETS.items():
    entries = dict(zip(ANSI_NAMES + EXTRA, map(colour, ansi.split() + extra.split())))
    assert len(entries) == 23, name
    with open(f"{name}.itermcolors", "wb") as file:
        plistlib.dump(entries, file, fmt=plistlib.FMT_XML, sort_keys=True)
