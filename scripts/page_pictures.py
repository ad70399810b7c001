#!/usr/bin/python3
"""The README's pictures of a session page (`cadsim --html PAGE SCRIPT`).

  /usr/bin/python3 scripts/page_pictures.py PAGE.html PREFIX

writes PREFIX-page.png, the page from its first `command` line on as headless
Chromium draws it in a window 1100 pixels wide; PREFIX-before.svg, the last
picture before that line's; PREFIX-after.svg, the page's last picture. A page
without a command line is shown from its top, and its first picture is the
one before. Needs chromium (bash scripts/install-packages.sh test).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# A step of the page, from its opening tag to the one that closes it: steps
# hold no other div.
STEP = re.compile(r'<div class="step[^"]*" id="line-(\d+)">.*?</div>\n', re.S)
FIGURE = re.compile(
    r'<figure class="picture" id="picture-\d+" data-line="(\d+)"'
    r'( data-command="[^"]*")?>\n<figcaption>.*?</figcaption>\n'
    r'(<svg .*?</svg>\n)</figure>', re.S)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    page_path, prefix = sys.argv[1], sys.argv[2]
    with open(page_path, encoding="utf-8") as f:
        page = f.read()
    figures = FIGURE.findall(page)
    if not figures:
        sys.exit(page_path + ": no pictures; is it a page of cadsim --html?")
    commands = [i for i, figure in enumerate(figures) if figure[1]]
    first = commands[0] if commands else 0
    before = figures[first - 1 if first > 0 else 0]
    with open(prefix + "-before.svg", "w", encoding="utf-8") as f:
        f.write(before[2])
    with open(prefix + "-after.svg", "w", encoding="utf-8") as f:
        f.write(figures[-1][2])

    # The page less its steps before the first command's line, so that the
    # top of the window shows the command and what it made.
    from_line = int(figures[first][0]) if commands else 0
    shown = STEP.sub(
        lambda m: m.group(0) if int(m.group(1)) >= from_line else "", page)
    browser = shutil.which("chromium")
    if browser is None:
        sys.exit("chromium is needed: bash scripts/install-packages.sh test")
    with tempfile.TemporaryDirectory() as scratch:
        trimmed = os.path.join(scratch, "page.html")
        with open(trimmed, "w", encoding="utf-8") as f:
            f.write(shown)
        png = os.path.abspath(prefix + "-page.png")
        subprocess.run(
            [browser, "--headless", "--disable-gpu", "--no-sandbox",
             "--no-first-run", "--hide-scrollbars",
             "--user-data-dir=" + os.path.join(scratch, "profile"),
             "--window-size=1100,1300", "--screenshot=" + png,
             "file://" + trimmed],
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            timeout=300)
    print("wrote %s-page.png, %s-before.svg (line %s), %s-after.svg (line %s)"
          % (prefix, prefix, before[0], prefix, figures[-1][0]))


if __name__ == "__main__":
    main()
