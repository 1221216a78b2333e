#!/usr/bin/env python3
"""Fails when a folder includes from a folder above it.

The player's layers, lowest first: core, directory, ui, skin, media, collection, browser, radio,
services, app. assets/ is a picture library any GUI layer may use. host/ (with host/streams/) is
the service host: of the player it may use only core's Qt-free headers. Tests, benchmarks and
tools may include anything. With --graph, prints the folder-level include graph instead.
"""
import collections
import os
import re
import subprocess
import sys

LAYERS = ['core', 'directory', 'ui', 'skin', 'media', 'collection', 'browser', 'radio', 'services',
          'app']
QT_FREE_CORE = {'core/station_table.h', 'core/service_contract.h'}
INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


def folder(path):
    top = path.split('/')[0]
    return top if top in LAYERS + ['assets', 'host'] else None


def allowed(source, target, header):
    if source == target:
        return True
    if source == 'host':
        return header in QT_FREE_CORE
    if target == 'host':
        return False
    if target == 'assets':
        return source != 'core'
    if source == 'assets':
        return False
    return LAYERS.index(target) < LAYERS.index(source)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = subprocess.check_output(['git', 'ls-files', '*.h', '*.cpp'], cwd=root,
                                    text=True).split()
    graph = collections.Counter()
    wrong = []
    for path in files:
        source = folder(path)
        if source is None:
            continue
        with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                target = folder(match.group(1)) if match else None
                if target is None or target == source:
                    continue
                graph[(source, target)] += 1
                if not allowed(source, target, match.group(1)):
                    wrong.append('%s:%d includes %s' % (path, number, match.group(1)))
    if '--graph' in sys.argv:
        for (source, target), count in sorted(graph.items()):
            print('%s -> %s: %d' % (source, target, count))
    for line in wrong:
        print('upward include:', line)
    return 1 if wrong else 0


if __name__ == '__main__':
    sys.exit(main())
