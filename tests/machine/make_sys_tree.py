#!/usr/bin/env python3
"""Writes the cpu/ and node/ directories of /sys/devices/system for a pretend machine, as much of
them as Wine reads to learn the processors' topology: which processors are online, each one's
thread siblings, its caches and the NUMA nodes. pretend-machine.sh binds them over the real ones.

    make_sys_tree.py OUT processors=32 smt=16 cache=3:96M:0-7,16-23 cache=3:32M:8-15,24-31
                         node=0-15 node=16-31

  processors=N      processors 0 to N-1, all online
  smt=K             processor k and k+K are the two threads of one core (k < K); without it
                    every processor is a core of its own
  cache=L:SIZE:LIST a cache of level L shared by the processors of LIST (kernel list form); SIZE
                    in K or M. Every core also gets its own L1 data, L1 instruction and L2 cache.
  node=LIST         a NUMA node; without any, one node holds every processor
"""
import os
import sys


def parse_list(text):
    processors = []
    for part in text.split(","):
        first, _, last = part.partition("-")
        processors.extend(range(int(first), int(last or first) + 1))
    return processors


def format_list(processors):
    runs = []
    for p in sorted(processors):
        if runs and runs[-1][1] == p - 1:
            runs[-1][1] = p
        else:
            runs.append([p, p])
    return ",".join(str(a) if a == b else f"{a}-{b}" for a, b in runs)


def format_map(processors):
    """The kernel's bitmap form: 32-bit hex words, most significant first, comma separated."""
    bits = sum(1 << p for p in processors)
    words = max(1, (max(processors) + 32) // 32)
    return ",".join(f"{(bits >> (32 * w)) & 0xFFFFFFFF:08x}" for w in reversed(range(words)))


def size_in_kb(text):
    number, unit = int(text[:-1]), text[-1].upper()
    if unit not in "KM":
        raise ValueError(f"cache size {text}: give it in K or M")
    return number * (1024 if unit == "M" else 1)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text + "\n")


def main(out, settings):
    count, smt, caches, nodes = 0, 0, [], []
    for setting in settings:
        key, _, value = setting.partition("=")
        if key == "processors":
            count = int(value)
        elif key == "smt":
            smt = int(value)
        elif key == "cache":
            level, size, members = value.split(":")
            caches.append((int(level), size_in_kb(size), parse_list(members)))
        elif key == "node":
            nodes.append(parse_list(value))
        else:
            raise ValueError(f"unknown setting {setting}")
    if count < 1:
        raise ValueError("processors=N is needed")
    everyone = list(range(count))
    nodes = nodes or [everyone]

    cpu = os.path.join(out, "cpu")
    for name in ("online", "present", "possible"):
        write(os.path.join(cpu, name), format_list(everyone))
    write(os.path.join(cpu, "offline"), "")
    write(os.path.join(cpu, "kernel_max"), "8191")
    for p in everyone:
        siblings = [p % smt, p % smt + smt] if smt else [p]
        topology = os.path.join(cpu, f"cpu{p}", "topology")
        write(os.path.join(topology, "physical_package_id"), "0")
        write(os.path.join(topology, "core_id"), str(min(siblings)))
        write(os.path.join(topology, "thread_siblings"), format_map(siblings))
        write(os.path.join(topology, "thread_siblings_list"), format_list(siblings))
        write(os.path.join(topology, "core_siblings"), format_map(everyone))
        write(os.path.join(topology, "core_siblings_list"), format_list(everyone))
        own = [(1, "Data", 48, siblings), (1, "Instruction", 32, siblings), (2, "Unified", 1024, siblings)]
        shared = [(level, "Unified", kb, members) for level, kb, members in caches if p in members]
        for index, (level, kind, kb, members) in enumerate(own + shared):
            cache = os.path.join(cpu, f"cpu{p}", "cache", f"index{index}")
            write(os.path.join(cache, "level"), str(level))
            write(os.path.join(cache, "type"), kind)
            write(os.path.join(cache, "size"), f"{kb}K")
            write(os.path.join(cache, "ways_of_associativity"), "16" if level > 1 else "8")
            write(os.path.join(cache, "coherency_line_size"), "64")
            write(os.path.join(cache, "shared_cpu_map"), format_map(members))
            write(os.path.join(cache, "shared_cpu_list"), format_list(members))

    node = os.path.join(out, "node")
    write(os.path.join(node, "online"), format_list(range(len(nodes))))
    write(os.path.join(node, "possible"), format_list(range(len(nodes))))
    write(os.path.join(node, "has_cpu"), format_list(range(len(nodes))))
    for n, members in enumerate(nodes):
        write(os.path.join(node, f"node{n}", "cpumap"), format_map(members))
        write(os.path.join(node, f"node{n}", "cpulist"), format_list(members))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    try:
        main(sys.argv[1], sys.argv[2:])
    except ValueError as error:
        sys.exit(f"make_sys_tree: {error}")
