#!/usr/bin/env python3
"""Fails when a product file includes a file of a higher layer (tools/layers.txt), or when two
product files include each other, directly or through others (a header and its source file
count as one)."""
import os
import re
import subprocess
import sys

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.chdir(top)

layer = {}
for rank, line in enumerate(l.split('#')[0].split() for l in open('tools/layers.txt')):
    for folder in line:
        layer[folder] = rank
ranks = [r for r in layer.values()]

files = [f for f in subprocess.check_output(['git', 'ls-files']).decode().split()
         if re.search(r'\.(h|cpp)$', f) and f.split('/')[0] in layer]
known = set(files)
problems = []
edges = {}
for f in files:
    unit = os.path.splitext(f)[0]
    for target in re.findall(r'^\s*#\s*include\s+"([^"]+)"', open(f, errors='ignore').read(), re.M):
        folder = target.split('/')[0]
        if folder not in layer:
            continue
        if target not in known:
            problems.append(f'{f}: includes {target}, which is not in the tree')
            continue
        if layer[folder] > layer[f.split('/')[0]]:
            problems.append(f'{f}: includes {target} of a higher layer')
        elif layer[folder] == layer[f.split('/')[0]] and folder != f.split('/')[0]:
            problems.append(f'{f}: includes {target} of another folder in its own layer')
        target_unit = os.path.splitext(target)[0]
        if target_unit != unit:
            edges.setdefault(unit, set()).add(target_unit)

# Cycles between units: depth-first search with colours.
WHITE, GREY, BLACK = 0, 1, 2
colour = {}
stack = []

def visit(unit):
    colour[unit] = GREY
    stack.append(unit)
    for nxt in sorted(edges.get(unit, ())):
        if colour.get(nxt, WHITE) == GREY:
            problems.append('include cycle: ' + ' -> '.join(stack[stack.index(nxt):] + [nxt]))
        elif colour.get(nxt, WHITE) == WHITE:
            visit(nxt)
    stack.pop()
    colour[unit] = BLACK

sys.setrecursionlimit(10000)
for unit in sorted(edges):
    if colour.get(unit, WHITE) == WHITE:
        visit(unit)

for p in problems:
    print(p)
print(f'layers: files={len(files)} problems={len(problems)}')
sys.exit(1 if problems else 0)
