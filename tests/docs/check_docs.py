#!/usr/bin/env python3
"""Checks what a reader follows in the documentation: README.md's length, and that every relative
link and picture in README.md and under docs/ (Markdown and HTML) names a file that exists and, in a
Markdown file, a heading that exists.

Usage: check_docs.py ROOT [--max-readme-lines N]    exit 0 when all hold, 1 naming each fault."""
import os
import re
import sys
import unicodedata
from urllib.parse import unquote

FENCE = re.compile(r'^\s*(```|~~~)')
INLINE_CODE = re.compile(r'`+[^`]*`+')
MD_LINK = re.compile(r'!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)')
HTML_LINK = re.compile(r'(?:href|src)\s*=\s*"([^"]+)"', re.I)
HEADING = re.compile(r'^(#{1,6})\s+(.*?)\s*#*\s*$')
HTML_ID = re.compile(r'(?:id|name)\s*=\s*"([^"]+)"', re.I)


def slug(text):
    """The anchor a heading gets: lower case, markup and punctuation dropped, spaces as hyphens."""
    text = re.sub(r'!?\[([^\]]*)\]\([^)]*\)', r'\1', text)
    text = text.replace('`', '').lower()
    out = []
    for ch in text:
        cat = unicodedata.category(ch)
        if ch in '-_' or cat[0] in 'LN' or cat == 'Mn':
            out.append(ch)
        elif ch == ' ':
            out.append('-')
    return ''.join(out)


def prose_lines(path):
    """(line number, text) of a file outside fenced code, inline code removed."""
    inside = False
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            if FENCE.match(line):
                inside = not inside
                continue
            if not inside:
                yield number, INLINE_CODE.sub('', line)


def anchors(path, cache={}):
    if path not in cache:
        found, seen = set(), {}
        if path.endswith('.md'):
            for _, line in prose_lines(path):
                m = HEADING.match(line)
                if m:
                    base = slug(m.group(2))
                    n = seen.get(base, 0)
                    seen[base] = n + 1
                    found.add(base if n == 0 else '%s-%d' % (base, n))
                found.update(HTML_ID.findall(line))
        else:
            with open(path, encoding='utf-8') as f:
                found.update(HTML_ID.findall(f.read()))
        cache[path] = found
    return cache[path]


def documents(root):
    yield os.path.join(root, 'README.md')
    for folder, _, files in os.walk(os.path.join(root, 'docs')):
        for name in sorted(files):
            if name.endswith(('.md', '.html')):
                yield os.path.join(folder, name)


def check(root, max_lines):
    faults = []
    readme = os.path.join(root, 'README.md')
    with open(readme, encoding='utf-8') as f:
        lines = sum(1 for _ in f)
    if lines > max_lines:
        faults.append('README.md: %d lines, more than %d' % (lines, max_lines))
    for doc in documents(root):
        here = os.path.dirname(doc)
        for number, line in prose_lines(doc):
            targets = HTML_LINK.findall(line)
            if doc.endswith('.md'):
                targets += MD_LINK.findall(line)
            for target in targets:
                if re.match(r'^[a-z][a-z0-9+.-]*:', target, re.I):
                    continue  # an address on the web, mail, ...
                file_part, _, fragment = target.partition('#')
                dest = os.path.normpath(os.path.join(here, unquote(file_part))) if file_part else doc
                where = '%s:%d: %s' % (os.path.relpath(doc, root), number, target)
                if not os.path.exists(dest):
                    faults.append(where + ': no such file')
                elif fragment and dest.endswith(('.md', '.html')) and unquote(fragment) not in anchors(dest):
                    faults.append(where + ': no such heading')
    return faults


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    max_lines = int(argv[argv.index('--max-readme-lines') + 1]) if '--max-readme-lines' in argv else 250
    faults = check(argv[1], max_lines)
    for fault in faults:
        print(fault)
    print('%d fault%s' % (len(faults), '' if len(faults) == 1 else 's'))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
