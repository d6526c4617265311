#!/usr/bin/python3
"""A run of population 1000 x 100 generations with the built-in bit-flip and with the vectorised
bit-flip of the README written in Python, interleaved, median of 9 each: the wall-clock time and the
process's CPU time (which a machine shared with other work disturbs far less).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_custom_mutation.py
"""
import statistics
import time

import numpy as np

import kelvora

MUTATION = 0.1
BELOW = np.uint16(round(MUTATION * 8192) * 8)  # a multiple of 8: the low 3 bits stay uniform below it


def bit_flip(genes, rng):
    """Each gene flips one of its 8 bits, chosen uniformly, with probability MUTATION: one 16-bit
    draw a gene says both whether (below BELOW) and which bit (its low 3 bits)."""
    u = rng.integers(0, 65536, genes.shape, dtype=np.uint16)
    genes ^= (u < BELOW) << (u & 7)


def nothing(genes, rng):
    pass


def main():
    cases = {"built-in bit-flip": "bit-flip", "Python bit-flip": bit_flip, "Python, doing nothing": nothing}
    wall = {name: [] for name in cases}
    cpu = {name: [] for name in cases}
    for seed in range(1, 10):
        for name, operator in cases.items():
            start, start_cpu = time.perf_counter(), time.process_time()
            kelvora.run(seed=seed, population=1000, generations=100, mutation=MUTATION, mutation_operator=operator)
            cpu[name].append(time.process_time() - start_cpu)
            wall[name].append(time.perf_counter() - start)
    for label, times in [("wall", wall), ("CPU", cpu)]:
        base = statistics.median(times["built-in bit-flip"])
        for name, t in times.items():
            print(f"{label:4s} {name:24s} {1000 * statistics.median(t):7.2f} ms  {statistics.median(t) / base:5.2f}x")

if __name__ == "__main__":
    main()
