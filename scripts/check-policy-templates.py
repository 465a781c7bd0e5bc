#!/usr/bin/env python3
"""Fails when the administrative templates and the program's table of policy keys disagree.

The table is src/policy/policy_keys.cpp, one {section, key, type, min, max} per line. The
template packaging/policy/kelvane.admx must offer each key of the table, under
SOFTWARE\\Policies\\Kelvane\\<section>, as a decimal element with the same range (a text
element for a text key), and nothing else; every $(string.X) and $(presentation.X) it names
must be in packaging/policy/en-US/kelvane.adml, and each presentation must show exactly the
elements of its policy. Prints each fault and exits non-zero; prints a summary on success.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
TABLE = os.path.join(ROOT, "src", "policy", "policy_keys.cpp")
ADMX = os.path.join(ROOT, "packaging", "policy", "kelvane.admx")
ADML = os.path.join(ROOT, "packaging", "policy", "en-US", "kelvane.adml")
NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
KEY_PREFIX = "SOFTWARE\\Policies\\Kelvane\\"
ROW = re.compile(r'PolicyKey\{"([^"]+)", "([^"]+)", (\w+), (-?\d+), (-?\d+)\}')
REFERENCE = re.compile(r"^\$\((string|presentation)\.([^)]+)\)$")


def read_table(path):
    """{(section, key): ("number", min, max) or ("text",)} from the program's table."""
    table = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = ROW.search(line)
            if not m:
                continue
            section, key, kind, low, high = m.groups()
            text = kind in ("T", "PolicyType::Text", "Text")
            table[(section, key)] = ("text",) if text else ("number", int(low), int(high))
    return table


def read_admx(path, faults):
    """{(section, value name): kind and range}, and the references the file makes."""
    root = ET.parse(path).getroot()
    offered, strings, presentations = {}, [], []
    categories = {c.get("name") for c in root.iter(NS + "category")}
    supported = {d.get("name") for d in root.iter(NS + "definition")}
    for element in root.iter():
        for attr in ("displayName", "explainText", "presentation"):
            value = element.get(attr)
            if value is None:
                continue
            m = REFERENCE.match(value)
            if not m:
                faults.append("%s: %s=%r is no reference" % (element.get("name"), attr, value))
            elif m.group(1) == "string":
                strings.append(m.group(2))
    for policy in root.iter(NS + "policy"):
        name = policy.get("name")
        key = policy.get("key", "")
        if not key.startswith(KEY_PREFIX):
            faults.append("policy %s: key %r is not under %s" % (name, key, KEY_PREFIX))
            continue
        section = key[len(KEY_PREFIX):]
        parent = policy.find(NS + "parentCategory")
        if parent is None or parent.get("ref") not in categories:
            faults.append("policy %s: its category does not resolve" % name)
        on = policy.find(NS + "supportedOn")
        if on is None or on.get("ref") not in supported:
            faults.append("policy %s: its supportedOn does not resolve" % name)
        m = REFERENCE.match(policy.get("presentation", ""))
        ids = []
        for element in policy.find(NS + "elements") or []:
            tag = element.tag[len(NS):]
            value_name = element.get("valueName")
            ids.append(element.get("id"))
            if (section, value_name) in offered:
                faults.append("policy %s: %s\\%s offered twice" % (name, section, value_name))
            if tag == "decimal":
                offered[(section, value_name)] = ("number", int(element.get("minValue", "0")),
                                                  int(element.get("maxValue", "4294967295")))
            elif tag == "text":
                offered[(section, value_name)] = ("text",)
            else:
                faults.append("policy %s: element %s of kind %s" % (name, value_name, tag))
        if m and m.group(1) == "presentation":
            presentations.append((name, m.group(2), ids))
        else:
            faults.append("policy %s has no presentation" % name)
    return offered, strings, presentations


def read_adml(path):
    root = ET.parse(path).getroot()
    strings = {s.get("id") for s in root.iter(NS + "string")}
    presentations = {}
    for p in root.iter(NS + "presentation"):
        presentations[p.get("id")] = [c.get("refId") for c in p if c.get("refId") is not None]
    return strings, presentations


def check(table_path, admx_path, adml_path):
    faults = []
    table = read_table(table_path)
    if not table:
        faults.append("%s: no table rows found" % table_path)
    offered, string_refs, presentation_refs = read_admx(admx_path, faults)
    strings, presentations = read_adml(adml_path)
    for section, key in sorted(set(table) - set(offered)):
        faults.append("%s\\%s is in the program's table but not in the template" % (section, key))
    for section, key in sorted(set(offered) - set(table)):
        faults.append("%s\\%s is in the template but not in the program's table" % (section, key))
    for where in sorted(set(table) & set(offered)):
        if table[where] != offered[where]:
            faults.append("%s\\%s: the program has %s, the template %s" %
                          (where[0], where[1], table[where], offered[where]))
    for ref in string_refs:
        if ref not in strings:
            faults.append("$(string.%s) is not in the language file" % ref)
    for policy, ref, ids in presentation_refs:
        if ref not in presentations:
            faults.append("$(presentation.%s) of policy %s is not in the language file" % (ref, policy))
        elif sorted(presentations[ref]) != sorted(ids):
            faults.append("presentation %s shows %s, policy %s has %s" %
                          (ref, presentations[ref], policy, ids))
    return faults, len(table)


def main(argv):
    paths = argv[1:4] if len(argv) >= 4 else (TABLE, ADMX, ADML)
    faults, keys = check(*paths)
    for fault in faults:
        print(fault)
    print("policy templates: %d keys, %d faults" % (keys, len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
