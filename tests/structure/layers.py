#!/usr/bin/env python3
"""Draws the source tree by its own includes and fails when an include runs up a layer or the includes form a cycle.

Each folder of src/ says in its README.md which folders its files may include, on a line "May include: a, b, c"
("nothing" for none); a folder may always include its own files. A sub-folder of src/jobs is a layer of its own
(src/jobs/ranking); any other sub-folder belongs to its top folder (src/app/main is app). A README may also say
"Kept apart: a/x, a/y": sub-folders whose files never include each other (views of one model talk to it, not to
one another). The core library's source list names no file of the windows."""

import pathlib
import re
import sys

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2] / "src")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    parts = pathlib.PurePosixPath(path).parts
    if parts[0] == "jobs" and len(parts) > 2:
        return "/".join(parts[:2])
    return parts[0]


def allowed_uses():
    rules = {}
    for readme in sorted(src.rglob("README.md")):
        folder = readme.parent.relative_to(src).as_posix()
        found = re.search(r"^May include: (.+)$", readme.read_text(encoding="utf-8"), re.M)
        if not found:
            sys.exit(f"src/{folder}/README.md has no line 'May include: ...'")
        names = found.group(1).strip().rstrip(".")
        rules[folder] = set() if names == "nothing" else {n.strip().strip("`") for n in names.split(",")}
    return rules


def kept_apart():
    groups = []
    for readme in sorted(src.rglob("README.md")):
        found = re.search(r"^Kept apart: (.+)$", readme.read_text(encoding="utf-8"), re.M)
        if found:
            groups.append({n.strip().strip("`") for n in found.group(1).strip().rstrip(".").split(",")})
    return groups


def sub_folder(path):
    return "/".join(pathlib.PurePosixPath(path).parts[:2])


def main():
    rules = allowed_uses()
    apart = kept_apart()
    files = {p.relative_to(src).as_posix(): p for p in src.rglob("*") if p.suffix in (".h", ".cpp")}
    graph, faults = {}, []
    for name, path in sorted(files.items()):
        if name.split("/")[0] in ("CMakeLists.txt",):
            continue
        own = folder_of(name)
        if own not in rules:
            faults.append(f"src/{own} has no README.md saying what it may include")
            rules[own] = set()
        graph[name] = []
        for target in include.findall(path.read_text(encoding="utf-8")):
            if target not in files:
                continue  # a generated header or one of a library
            graph[name].append(target)
            used = folder_of(target)
            if used != own and used not in rules[own]:
                faults.append(f"src/{name} includes {target}: {own} may not include {used}")
            mine, theirs = sub_folder(name), sub_folder(target)
            if mine != theirs and any(mine in group and theirs in group for group in apart):
                faults.append(f"src/{name} includes {target}: src/{mine} and src/{theirs} are kept apart")

    # Tarjan's strongly connected components over the file graph: any with more than one file is a cycle.
    index, low, stack, on_stack, counter = {}, {}, [], set(), [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in graph.get(node, []):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                faults.append("include cycle: " + " -> ".join(sorted(component)))

    sys.setrecursionlimit(10000)
    for node in graph:
        if node not in index:
            visit(node)

    # Folder cycles: a folder may not reach itself through the folders it includes.
    uses = {}
    for name, targets in graph.items():
        for target in targets:
            if folder_of(target) != folder_of(name):
                uses.setdefault(folder_of(name), set()).add(folder_of(target))

    def reaches(start, goal, seen):
        for nxt in uses.get(start, ()):
            if nxt == goal or (nxt not in seen and (seen.add(nxt) or reaches(nxt, goal, seen))):
                return True
        return False

    for folder in sorted(uses):
        if reaches(folder, folder, set()):
            faults.append(f"src/{folder} reaches itself through the folders it includes")

    core_list = re.search(r"add_library\(tarvisk_core STATIC(.*?)\)", (src / "CMakeLists.txt").read_text(), re.S)
    if core_list and re.search(r"^\s*app/", core_list.group(1), re.M):
        faults.append("the core library's source list names a file under app/")

    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"{len(graph)} files in {len(rules)} folders: no include runs up a layer, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
