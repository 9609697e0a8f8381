#!/usr/bin/env python3
"""The C++ folders are layers: a folder includes only from itself and the
folders the README's map lets it use (directly or through them), never from
one above it or beside it. The map is the table under "How the house is
built" in README.md: one row per folder, the header roots it owns and the
folders it may use.

  include_layers.py ROOT            checks the tree at ROOT
  include_layers.py ROOT --prove    checks a scratch copy of ROOT with a
                                    climbing and a sideways include added,
                                    which must fail naming both

Tests, benchmarks and fuzz targets may use any folder; generated headers
and system headers are not the tree's and are left alone.
"""
import os
import re
import shutil
import sys
import tempfile

FREE = ('tests', 'bench', 'fuzz')
SKIP = {'.git', 'node_modules', 'web', 'packaging', 'docs', 'scripts', 'cmake'}
SOURCE = ('.cpp', '.h', '.cc', '.hpp')
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
TICKED = re.compile(r'`([^`]+)`')


def read_map(root):
    """{folder: (roots, uses)} from README.md's house table."""
    text = open(os.path.join(root, 'README.md'), encoding='utf-8').read()
    at = text.find('## How the house is built')
    if at < 0:
        raise SystemExit('README.md has no "How the house is built" section')
    rows = {}
    for line in text[at:].splitlines()[1:]:
        if line.startswith('## '):
            break
        cells = [c.strip() for c in line.strip().strip('|').split('|')] if line.startswith('|') else []
        if len(cells) < 3 or not cells[0].startswith('`'):
            continue
        folder = TICKED.findall(cells[0])[0].rstrip('/')
        rows[folder] = ([r for r in TICKED.findall(cells[1])], [u.rstrip('/') for u in TICKED.findall(cells[2])])
    if not rows:
        raise SystemExit('README.md\'s house table has no rows')
    return rows


def closure(rows):
    """Every folder each folder may reach, through the folders it may use."""
    reach = {}

    def visit(folder, trail):
        if folder in reach:
            return reach[folder]
        if folder in trail:
            raise SystemExit('the map goes round in a circle: ' + ' -> '.join(trail + [folder]))
        out = set()
        for used in rows.get(folder, ((), ()))[1]:
            if used not in rows:
                raise SystemExit(f'{folder}/ may use {used}/, which the map does not list')
            out |= {used} | visit(used, trail + [folder])
        reach[folder] = out
        return out

    for folder in rows:
        visit(folder, [])
    return reach


def tree(root):
    """(source files, include folders), paths relative to root."""
    files, includes = [], []
    for path, dirs, names in os.walk(root):
        rel = os.path.relpath(path, root)
        dirs[:] = sorted(d for d in dirs if d not in SKIP and not (rel == '.' and d.startswith('build')))
        if os.path.basename(path) == 'include':
            includes.append(rel)
        files += [os.path.normpath(os.path.join(rel, n)) for n in sorted(names) if n.endswith(SOURCE)]
    return files, includes


def owner(path, rows):
    """The deepest folder of the map that holds `path`, or None."""
    parts = path.split('/')
    for n in range(len(parts) - 1, 0, -1):
        if '/'.join(parts[:n]) in rows:
            return '/'.join(parts[:n])
    return None


def resolve(root, source, header, includes):
    for base in [os.path.dirname(source)] + includes:
        candidate = os.path.normpath(os.path.join(base, header))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def check(root):
    """The faults of the tree at root, one line each."""
    rows = read_map(root)
    reach = closure(rows)
    files, includes = tree(root)
    faults = []
    for inc in includes:
        folder = owner(inc + '/x', rows)
        if not inc.startswith(FREE) and folder is None:
            faults.append(f'{inc}/ belongs to no folder of the README\'s map')
            continue
        if folder is None:
            continue
        for path, _, names in os.walk(os.path.join(root, inc)):
            for name in sorted(names):
                header = os.path.relpath(os.path.join(path, name), os.path.join(root, inc))
                if not any(header.startswith(r) for r in rows[folder][0]):
                    faults.append(f'{inc}/{header}: the map gives {folder}/ no header root for it')
    for source in files:
        if source.startswith(FREE):
            continue
        mine = owner(source, rows)
        if mine is None:
            faults.append(f'{source} lies in no folder of the README\'s map')
            continue
        for number, line in enumerate(open(os.path.join(root, source), errors='replace'), 1):
            m = INCLUDE.match(line)
            found = m and resolve(root, source, m.group(1), includes)
            theirs = found and owner(found, rows)
            if not theirs or theirs == mine or theirs in reach[mine]:
                continue
            way = 'climbs to' if mine in reach.get(theirs, ()) else 'reaches sideways into'
            faults.append(f'{source}:{number} {way} {theirs}/ ({m.group(1)})')
    return faults


def prove(root):
    """A scratch copy with a climbing and a sideways include must fail."""
    scratch = tempfile.mkdtemp(prefix='lm-layers-')
    try:
        files, _ = tree(root)
        for f in files + ['README.md']:
            os.makedirs(os.path.join(scratch, os.path.dirname(f)), exist_ok=True)
            shutil.copyfile(os.path.join(root, f), os.path.join(scratch, f))
        planted = {'common/src/Json.cpp': '#include "sorrel/com/ComInfo.h"\n',
                   'netseek/src/NetSeek.cpp': '#include "lm/records/RecordStore.h"\n'}
        for f, line in planted.items():
            with open(os.path.join(scratch, f), 'a') as out:
                out.write(line)
        faults = check(scratch)
        expected = ['common/src/Json.cpp', 'netseek/src/NetSeek.cpp']
        missed = [f for f in expected if not any(x.startswith(f + ':') for x in faults)]
        if missed or len(faults) != len(expected):
            print('the planted includes were not caught as expected:', *faults, sep='\n  ')
            return 1
        print('caught:', *faults, sep='\n  ')
        return 0
    finally:
        shutil.rmtree(scratch)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else '.')
    if '--prove' in sys.argv:
        return prove(root)
    faults = check(root)
    for f in faults:
        print(f)
    if not faults:
        print('every include stays in its folder or goes to one the map lets it use')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
