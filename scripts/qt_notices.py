#!/usr/bin/env python3
"""Gathers the licence notices that a static Qt build owes into one folder.

Reads the Qt source tree that was built and the folder it was installed into, and writes:

  OUTPUT/THIRD-PARTY-NOTICES.txt   Qt, then every third-party component whose code or data
                                   the installed libraries and plugins hold: name, version,
                                   licence, copyright, and the licence files its
                                   qt_attribution.json names, copied as they stand
  OUTPUT/LICENSES/*.txt            the texts, from Qt's LICENSES folder, of every licence that
                                   a file built into those libraries names in its
                                   SPDX-License-Identifier (but the commercial one, which is
                                   bought, not granted)

What the libraries hold is read off them: every object in the installed static libraries
(lib/*.a, plugins/*/*.a) and object folders is matched by name to the source file it was
compiled from, and every file those include, transitively, counts as built in. Each file
that rcc compiled into a resource object counts too. A component's qt_attribution.json
covers its own folder, or only the files its "Path" or "Files" name there. The scan leaves
out an #include only in a branch it can tell is left out on Windows in this configuration
(a feature test, an operating system macro or a macro that the installed qt*-config headers
define, alone or negated); it takes every other branch, so it may count a component the
build left out, never miss one that went in.

Usage: scripts/qt_notices.py SOURCE_DIR INSTALL_PREFIX QT_VERSION OUTPUT_DIR
Standard library only.
"""

import json
import os
import re
import shutil
import sys

SOURCE_SUFFIXES = ('.c', '.cc', '.cpp', '.cxx', '.h', '.hh', '.hpp', '.inc', '.mm')
DIRECTIVE = re.compile(r'^\s*#\s*(include|if|ifdef|ifndef|elif|else|endif)\b\s*(.*)$', re.MULTILINE)
INCLUDE_TARGET = re.compile(r'[<"]([^>"]+)[>"]')
SPDX = re.compile(r'SPDX-License-Identifier:\s*([^\n*]+)')
# Sources that Qt's maintainers generate from data kept elsewhere in the tree, whose
# attribution names that data: the file built in stands for the data it was made from.
GENERATED_FROM = {
    'src/gui/painting/webgradients.cpp': 'util/gradientgen/webgradients.css',
}
# The licence that a Qt licence expression offers for purchase rather than grants.
COMMERCIAL = 'LicenseRef-Qt-Commercial'
RULE = '=' * 78


def read_text(path):
    with open(path, encoding='utf-8', errors='replace') as f:
        return f.read()


class SourceTree:
    """The files of Qt's source tree, by relative path and by name."""

    def __init__(self, root):
        self.root = root
        self.compiled_folders = set()
        self.by_name = {}
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if not d.startswith('.')]
            for name in files:
                rel = os.path.relpath(os.path.join(folder, name), root)
                self.by_name.setdefault(name, []).append(rel)

    def prefer_near(self, compiled):
        """Makes an #include that more than one file could answer mean those nearest the
        compiled sources: in the deepest folder that holds one of them, as the build's
        include paths would, for the bundled libraries at least."""
        self.compiled_folders = set()
        for rel in compiled:
            folder = os.path.dirname(rel)
            while folder:
                self.compiled_folders.add(folder)
                folder = os.path.dirname(folder)

    def nearest(self, paths):
        def depth(path):
            folder = os.path.dirname(path)
            while folder and folder not in self.compiled_folders:
                folder = os.path.dirname(folder)
            return folder.count('/') + 1 if folder else 0
        best = max(map(depth, paths), default=0)
        return [p for p in paths if depth(p) == best]

    def exists(self, rel):
        return os.path.isfile(os.path.join(self.root, rel))

    def named(self, name, under='src/'):
        return [p for p in self.by_name.get(name, []) if p.startswith(under)]

    def resolve_include(self, including, target):
        """The tree's files that `#include target` in `including` may mean."""
        local = os.path.normpath(os.path.join(os.path.dirname(including), target))
        if self.exists(local):
            return [local]
        target = os.path.normpath(target)
        suffix = '/' + target
        found = [p for p in self.by_name.get(os.path.basename(target), []) if p.endswith(suffix)]
        if found:
            return self.nearest(found)
        # Qt's own headers are included through the module folders the build makes
        # (<QtCore/private/qfoo_p.h>); in the tree they are under src/ by name alone.
        if '/' in target and re.match(r'^(Qt\w+|private|qpa)/', target):
            return self.nearest([p for p in self.named(os.path.basename(target))
                                 if not p.startswith('src/3rdparty/')])
        return []


def objects_of(prefix):
    """(library, object names) for each installed static library and object folder."""
    libraries = []
    for folder, _, files in os.walk(prefix):
        objects = [name for name in files if name.endswith('.obj')]
        if objects:
            libraries.append((folder, objects))
        libraries.extend((os.path.join(folder, name), archive_members(os.path.join(folder, name)))
                         for name in files if name.endswith('.a'))
    return libraries


def archive_members(path):
    """The member names of a Unix ar archive (GNU format, as mingw's ar writes)."""
    with open(path, 'rb') as f:
        data = f.read()
    if not data.startswith(b'!<arch>\n'):
        raise SystemExit(f'qt_notices: {path} is not an ar archive')
    names, long_names, at = [], b'', 8
    while at + 60 <= len(data):
        header = data[at:at + 60]
        name = header[:16].decode('ascii', 'replace').rstrip()
        size = int(header[48:58].decode('ascii').strip())
        body = data[at + 60:at + 60 + size]
        if name == '//':
            long_names = body
        elif name.startswith('/') and name[1:].isdigit():
            start = int(name[1:])
            names.append(long_names[start:long_names.index(b'/\n', start)].decode('utf-8'))
        elif name not in ('/', '/SYM64/'):
            names.append(name.rstrip('/'))
        at += 60 + size + (size & 1)
    return names


def resource_files(tree, resource):
    """The data files that a qt_internal_add_resource() call of the tree names for
    `resource`, directly or through a variable that the same CMakeLists.txt sets."""
    call = re.compile(r'qt_internal_add_resource\(\s*\w+\s+"' + re.escape(resource) + r'"([^)]*)\)')
    found = []
    for cmake in tree.by_name.get('CMakeLists.txt', []):
        if not cmake.startswith('src/'):
            continue
        text = read_text(os.path.join(tree.root, cmake))
        for arguments in call.findall(text):
            for variable in re.findall(r'\$\{(\w+)\}', arguments):
                arguments += ' '.join(re.findall(r'set\(\s*' + variable + r'\s([^)]*)\)', text))
            folder = os.path.dirname(cmake)
            for token in re.findall(r'[\w./+-]+\.\w+', arguments):
                rel = os.path.normpath(os.path.join(folder, token))
                if tree.exists(rel):
                    found.append(rel)
    return found


def configuration_of(prefix):
    """The build's configuration as its installed qt*-config headers give it: the Qt
    features, on (True) or off (False), by name, and the other macros they define."""
    features, macros = {}, set()
    for folder, _, files in os.walk(os.path.join(prefix, 'include')):
        for name in files:
            if re.match(r'^qt\w+-config(_p)?\.h$', name):
                text = read_text(os.path.join(folder, name))
                for feature, value in re.findall(r'#define QT_FEATURE_(\w+) (-?1)\b', text):
                    features[feature] = value == '1'
                macros.update(m for m in re.findall(r'#define (\w+)', text) if not m.startswith('QT_FEATURE_'))
    return features, macros


def condition_value(condition, configuration):
    """What a preprocessor condition is on Windows in this configuration: True, False, or
    None where this simple reading can't tell (a feature test, an operating system macro
    or a macro that the configuration defines, alone, negated or not, is read; anything
    else is not)."""
    features, macros = configuration
    condition = re.sub(r'/[/*].*', '', condition).strip()
    negated = condition.startswith('!')
    term = condition.lstrip('!').strip()
    match = re.fullmatch(r'QT_CONFIG\(\s*(\w+)\s*\)', term)
    if match and match.group(1) in features:
        value = features[match.group(1)]
    else:
        match = re.fullmatch(r'(?:defined\s*\(\s*|defined\s+)?(\w+)\s*\)?', term)
        if match and match.group(1).startswith('Q_OS_'):
            value = match.group(1).startswith('Q_OS_WIN')
        elif match and match.group(1) in macros:
            value = True
        else:
            return None
    return value != negated


def includes(text, configuration):
    """The targets of a file's #include lines but those in a branch that is left out."""
    found = []
    # One frame per open #if: whether an earlier branch was taken for sure, whether one
    # could not be told, and whether the current branch is taken (True, False or None).
    frames = []
    for directive, rest in DIRECTIVE.findall(text):
        if directive in ('if', 'ifdef', 'ifndef'):
            value = condition_value(('!' if directive == 'ifndef' else '') + rest, configuration)
            frames.append([value is True, value is None, value])
        elif directive == 'elif' and frames:
            sure, unknown, _ = frames[-1]
            value = False if sure else condition_value(rest, configuration)
            frames[-1] = [sure or value is True, unknown or value is None, value]
        elif directive == 'else' and frames:
            sure, unknown, _ = frames[-1]
            frames[-1] = [True, unknown, False if sure else None if unknown else True]
        elif directive == 'endif' and frames:
            frames.pop()
        elif directive == 'include' and all(f[2] is not False for f in frames):
            target = INCLUDE_TARGET.match(rest)
            if target:
                found.append(target.group(1))
    return found


def compiled_sources(tree, prefix):
    """The source files the objects in the installed libraries were compiled from. An
    object whose name more than one source has is taken for the one nearest the sources
    of the other objects in its library."""
    found = []
    for library, objects in objects_of(prefix):
        candidates = [tree.named(obj[:-len('.obj')] if obj.endswith('.obj') else obj) for obj in objects]
        folders = [os.path.dirname(c[0]) for c in candidates if len(c) == 1]
        for obj, paths in zip(objects, candidates):
            match = re.match(r'^qrc_(.+)\.cpp(\.obj)?$', obj)
            if match:
                found.extend(resource_files(tree, match.group(1)))
            elif len(paths) > 1 and folders:
                found.append(max(paths, key=lambda p: sum(
                    len(os.path.commonpath([p, f])) for f in folders)))
            else:
                found.extend(paths)
    return found


def built_in_files(tree, prefix):
    """Every file of the tree whose code or data the installed libraries hold."""
    configuration = configuration_of(prefix)
    pending = compiled_sources(tree, prefix)
    tree.prefer_near(pending)
    seen = set()
    while pending:
        rel = pending.pop()
        if rel in seen:
            continue
        seen.add(rel)
        if rel in GENERATED_FROM:
            pending.append(GENERATED_FROM[rel])
        if rel.endswith(SOURCE_SUFFIXES):
            for target in includes(read_text(os.path.join(tree.root, rel)), configuration):
                pending.extend(tree.resolve_include(rel, target))
    return seen


def attributions(tree):
    """(folder, entry) for every entry of the tree's qt_attribution.json files."""
    for path in sorted(tree.by_name.get('qt_attribution.json', [])):
        # Qt's attribution files break long strings over lines and repeat keys, the last
        # one counting: json with strict=False reads them so.
        data = json.loads(read_text(os.path.join(tree.root, path)), strict=False)
        for entry in data if isinstance(data, list) else [data]:
            yield os.path.dirname(path), entry


def covered(tree, folder, entry):
    """The files or folders of the tree that an attribution entry speaks for."""
    named = []
    for key in ('Path', 'Files'):
        value = entry.get(key)
        for token in re.split(r'[\s,]+', ' '.join(value) if isinstance(value, list) else value or ''):
            if not token:
                continue
            rel = os.path.normpath(os.path.join(folder, token))
            if os.path.exists(os.path.join(tree.root, rel)):
                named.append(rel)
            elif '.' in token:
                named.extend(tree.named(os.path.basename(token)))
    return named or [folder]


def is_built_in(built, roots):
    return any(f == r or f.startswith(r + '/') for f in built for r in roots)


def licence_files(folder, entry):
    """The licence files an attribution names (none for code in the public domain)."""
    files = entry.get('LicenseFiles') or ([entry['LicenseFile']] if entry.get('LicenseFile') else [])
    return [os.path.normpath(os.path.join(folder, f)) for f in files]


def licence_ids(tree, built):
    """The licences that the built-in files name, as Qt's LICENSES folder has them."""
    ids = set()
    for rel in built:
        for expression in SPDX.findall(read_text(os.path.join(tree.root, rel))):
            ids.update(re.findall(r'[A-Za-z0-9.+-]+', expression.replace('(', ' ').replace(')', ' ')))
    ids -= {'OR', 'AND', 'WITH', COMMERCIAL}
    return sorted(i for i in ids if tree.exists(f'LICENSES/{i}.txt'))


def one_line(text):
    return ' '.join(str(text).split())


def component_notice(tree, folder, entry):
    lines = [RULE, one_line(entry['Name']) + (f" {one_line(entry['Version'])}" if entry.get('Version') else '')]
    names = [one_line(entry[key]) for key in ('LicenseId', 'License') if entry.get(key)]
    lines.append('Licence: ' + (f'{names[0]} ({names[1]})' if len(set(names)) == 2 else names[0]))
    copyright_text = entry.get('Copyright', '')
    if isinstance(copyright_text, list):
        copyright_text = '\n'.join(copyright_text)
    lines.append('Copyright: ' + '\n           '.join(l.strip() for l in copyright_text.strip().splitlines()))
    if entry.get('Homepage'):
        lines.append(f"Homepage: {entry['Homepage']}")
    lines.append(f"Used in Qt: {one_line(entry.get('QtUsage', ''))}")
    lines.append(f'Attribution: qtbase/{folder}/qt_attribution.json')
    for rel in licence_files(folder, entry):
        path = os.path.join(tree.root, rel)
        if not os.path.isfile(path):
            raise SystemExit(f"qt_notices: {entry['Name']}: its licence file qtbase/{rel} is missing")
        lines += ['', f'---- qtbase/{rel} ----', read_text(path).rstrip('\n')]
    return '\n'.join(lines) + '\n\n'


def main():
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    source, prefix, qt_version, output = sys.argv[1:]
    tree = SourceTree(source)
    built = built_in_files(tree, prefix)
    if not any(f.startswith('src/corelib/') for f in built):
        raise SystemExit(f'qt_notices: no Qt Core objects in {prefix} match the source in {source}')
    components = sorted(((folder, entry) for folder, entry in attributions(tree)
                         if is_built_in(built, covered(tree, folder, entry))),
                        key=lambda c: one_line(c[1]['Name']).lower())
    ids = licence_ids(tree, built)

    shutil.rmtree(output, ignore_errors=True)
    os.makedirs(os.path.join(output, 'LICENSES'))
    for licence in ids:
        shutil.copyfile(os.path.join(source, 'LICENSES', f'{licence}.txt'),
                        os.path.join(output, 'LICENSES', f'{licence}.txt'))
    with open(os.path.join(output, 'THIRD-PARTY-NOTICES.txt'), 'w', encoding='utf-8', newline='\r\n') as f:
        f.write(
            'Third-party software in Norvane for Windows\n\n'
            'Norvane.exe is linked statically with Qt and with the third-party code that Qt\n'
            'bundles. Their notices follow: Qt first, then each component, with the licence\n'
            'files that its Qt attribution names, copied as they stand.\n\n'
            f'{RULE}\nQt {qt_version} (qtbase: Qt Core, Qt GUI, Qt Widgets and their plugins)\n'
            f'Licence: {COMMERCIAL} OR LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only;\n'
            '         Norvane uses Qt under LGPL-3.0-only\n'
            'Copyright: The Qt Company Ltd. and other contributors\n'
            'Homepage: https://www.qt.io/\n'
            f"Licence texts: {', '.join(f'LICENSES/{i}.txt' for i in ids)}\n"
            "Relinking: Norvane's source and its scripts/build_qt_windows.sh rebuild Norvane.exe\n"
            '           against another Qt (see the README that comes with the source).\n\n')
        for folder, entry in components:
            f.write(component_notice(tree, folder, entry))
    print(f'qt_notices: {len(components)} components, licence texts {", ".join(ids)}')
    for _, entry in components:
        print(f"  {one_line(entry['Name'])}")


if __name__ == '__main__':
    main()
