"""Reading Wine's debug trace: the events the program writes to the event
log, which Wine keeps nowhere but traces on its debug channels when a
program runs with WINEDEBUG=-all,+eventlog,fixme+advapi (see
tests/win/eventlog/test_eventlog_trace.py for the format)."""

import re

# The channels that show each event: its source, its type and id, and its strings.
EVENT_CHANNELS = "-all,+eventlog,fixme+advapi"


def wine_string(text):
    """The text of a string as Wine's debugstr_w prints it, and whether Wine
    cut it short."""
    match = re.fullmatch(r'L"(.*)"(\.\.\.)?', text)
    assert match, text
    escapes = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}

    def unescape(m):
        code = m.group(1)
        return chr(int(code, 16)) if len(code) == 4 else escapes[code]

    return re.sub(r"\\([0-9a-fA-F]{4}|.)", unescape, match.group(1)), bool(match.group(2))


def traced_events(trace):
    """The events of a trace in the order written: the source each was
    written under, its type, id and number of strings, the levels its strings
    were traced at, and the strings."""
    events, source = [], None
    for line in trace.splitlines():
        match = re.match(r"^[0-9a-fA-F]+:(\w+):(\w+):(\w+) (.*)$", line)
        if not match:
            continue
        level, channel, call, text = match.groups()
        if (channel, call) == ("advapi", "RegisterEventSourceW"):
            source = wine_string(re.fullmatch(r"\(\(null\),(.*)\): stub", text).group(1))[0]
        elif (channel, call) == ("advapi", "ReportEventW"):
            fields = re.fullmatch(r"\((.*)\): stub", text).group(1).split(",")
            events.append({"source": source, "type": int(fields[1], 16), "id": int(fields[3], 16),
                           "count": int(fields[5], 16), "levels": set(), "strings": []})
        elif (channel, call) == ("eventlog", "ReportEventW"):
            events[-1]["levels"].add(level)
            events[-1]["strings"].append(wine_string(text))
    return events
