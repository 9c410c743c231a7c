"""How a Python suite of ours tells CTest what happened, in the exit code
CTest reads: 0 when cases ran and passed, 1 when any failed or when none ran
at all (unittest itself calls an empty run a success), and 77, which CTest
counts as skipped, when the cases of the entry were skipped. A case that can
be skipped therefore gets a CTest entry of its own, so that its skip never
hides among passes; the reason is printed on a line "skipped: ...", where
scripts/test finds it."""

import sys
import unittest

SKIPPED = 77


def verdict(result):
    if not result.wasSuccessful():
        return 1
    if result.testsRun == 0:
        print("failed: no test ran")
        return 1
    if result.skipped:
        for case, reason in result.skipped:
            print("skipped: %s: %s" % (case.id().split(".", 1)[-1], reason))
        return SKIPPED
    return 0


def run(names=(), without=(), module="__main__"):
    """Runs the named cases of the module (all when none are named), less the
    cases named in `without`, and returns the verdict."""
    loader = unittest.TestLoader()
    if names:
        suite = loader.loadTestsFromNames(list(names), sys.modules[module])
    else:
        suite = loader.loadTestsFromModule(sys.modules[module])

    def cases(tests):
        for test in tests:
            if isinstance(test, unittest.TestSuite):
                yield from cases(test)
            else:
                yield test

    chosen = [case for case in cases(suite)
              if not any(case.id().endswith("." + name) for name in without)]
    result = unittest.TextTestRunner(verbosity=2).run(unittest.TestSuite(chosen))
    return verdict(result)


def split_without(args):
    """Takes "--without CASE" pairs out of `args`; returns the cases left
    out. What remains in `args` names the cases to run."""
    without = []
    while "--without" in args:
        at = args.index("--without")
        without.append(args[at + 1])
        del args[at:at + 2]
    return without


def main():
    """For a suite's `if __name__ == "__main__"`: the cases named on the
    command line (all by default) less those after --without, and the exit
    code CTest reads."""
    args = sys.argv[1:]
    without = split_without(args)
    sys.exit(run(args, without))
