#!/usr/bin/env python3
"""Writes Template.fods (the parameter sheet's template as flat OpenDocument)
and converts it with LibreOffice to resources/bin/ExcelTemplate/Template.xls.

Run once after changing the layout below, then commit both files:
    python3 tools/xlsgen/make_template.py
"""
import os
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape, quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT = os.path.join(ROOT, "resources", "bin", "ExcelTemplate", "Template.xls")

# One mac column, ten WAN groups of four, four radio and four GPON/login columns.
COLUMNS = 49
# Wide enough for the longest header that can land in any column,
# "WanName10(*This column cannot be modified*)".
COLUMN_WIDTH = "8.6cm"

HELP = [
    ("mac(*This column cannot be modified*)",
     "The device's MAC address; each row goes to the device with this MAC, so rows may be sorted but this cell must stay as exported."),
    ("WanName%d(*This column cannot be modified*)",
     "The name of WAN connection %d from the configuration template, for information only; it is never written to the device."),
    ("vid%d",
     "VLAN id of WAN connection %d: a whole number from 1 to 4094."),
    ("pppUser%d",
     "PPPoE user name of WAN connection %d: 1 to 63 UTF-8 bytes, without the characters & ` ( ) | \\ < > ; ' \"."),
    ("pppPassword%d",
     "PPPoE password of WAN connection %d: 1 to 29 UTF-8 bytes, without the characters & ` ( ) | \\ < > ; ' \"."),
    ("ssid_5g",
     "Network name of the 5 GHz radio: 1 to 32 UTF-8 bytes, no Chinese characters and no spaces."),
    ("wlanPsk_5g",
     "Key of the 5 GHz radio: 8 to 63 ASCII characters, without \\ ' \"."),
    ("ssid_2.4g",
     "Network name of the 2.4 GHz radio: 1 to 32 UTF-8 bytes, no Chinese characters and no spaces."),
    ("wlanPsk_2.4g",
     "Key of the 2.4 GHz radio: 8 to 63 ASCII characters, without \\ ' \"."),
    ("loid",
     "GPON LOID: empty, or at most 24 letters, digits and the characters ` ~ ! @ # $ % ^ & * ( ) _ + - = [ ] \\ { } | ; ' : \" < > , . /"),
    ("loidPassword",
     "GPON LOID password: empty, or at most 12 letters, digits and . : - _ / @; it needs a loid."),
    ("ploamPassword",
     "GPON PLOAM password: empty, or 1 to 10 letters, digits and . : - _ / @."),
    ("loginPassword",
     "Password of the device's web login: 1 to 30 ASCII characters without spaces."),
]
NOTES = [
    "The program writes the header row and one row per device; a column appears only when the configuration template uses it, and %d counts the WAN connections from 1.",
    "Every cell is text: type values exactly as they should reach the device.",
]


def cell(text, style):
    return ('<table:table-cell table:style-name="%s" office:value-type="string">'
            "<text:p>%s</text:p></table:table-cell>" % (style, escape(text)))


def fods():
    parts = ["""<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:text-style style:name="NText"><number:text-content/></number:text-style>
 <style:style style:name="coWide" style:family="table-column">
  <style:table-column-properties style:column-width="%s"/></style:style>
 <style:style style:name="coHelpName" style:family="table-column">
  <style:table-column-properties style:column-width="8.6cm"/></style:style>
 <style:style style:name="coHelpRule" style:family="table-column">
  <style:table-column-properties style:column-width="22cm"/></style:style>
 <style:style style:name="ceText" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="NText"/>
 <style:style style:name="ceHeader" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="NText">
  <style:table-cell-properties fo:background-color="#dde4ee"/>
  <style:text-properties fo:font-weight="bold"/></style:style>
 <style:style style:name="ceWrap" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="NText">
  <style:table-cell-properties fo:wrap-option="wrap"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet>
""" % COLUMN_WIDTH]
    parts.append('<table:table table:name="Parameters">')
    parts.append('<table:table-column table:style-name="coWide" table:number-columns-repeated="%d" '
                 'table:default-cell-style-name="ceText"/>' % COLUMNS)
    parts.append('<table:table-row><table:table-cell table:style-name="ceHeader" '
                 'table:number-columns-repeated="%d"/></table:table-row>' % COLUMNS)
    # The rest of every column in the text format, so that the .xls column
    # records carry it and whatever the operator types stays text.
    parts.append('<table:table-row table:number-rows-repeated="65535"><table:table-cell table:style-name="ceText" '
                 'table:number-columns-repeated="%d"/></table:table-row>' % COLUMNS)
    parts.append("</table:table>")
    parts.append('<table:table table:name="Help">')
    parts.append('<table:table-column table:style-name="coHelpName" table:default-cell-style-name="ceText"/>')
    parts.append('<table:table-column table:style-name="coHelpRule" table:default-cell-style-name="ceWrap"/>')
    parts.append("<table:table-row>%s%s</table:table-row>" % (cell("Column", "ceHeader"), cell("Rule", "ceHeader")))
    for name, rule in HELP:
        parts.append("<table:table-row>%s%s</table:table-row>" % (cell(name, "ceText"), cell(rule, "ceWrap")))
    parts.append("<table:table-row>%s</table:table-row>" % cell("", "ceText"))
    for note in NOTES:
        parts.append("<table:table-row>%s%s</table:table-row>" % (cell("", "ceText"), cell(note, "ceWrap")))
    parts.append("</table:table></office:spreadsheet></office:body></office:document>\n")
    return "\n".join(parts)


def main():
    src = os.path.join(HERE, "Template.fods")
    with open(src, "w", encoding="utf-8") as f:
        f.write(fods())
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["soffice", "--headless", "-env:UserInstallation=file://" + tmp + "/profile",
                        "--convert-to", "xls", "--outdir", tmp, src],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.makedirs(os.path.dirname(OUT), exist_ok=True)
        with open(os.path.join(tmp, "Template.xls"), "rb") as f, open(OUT, "wb") as g:
            g.write(f.read())
    print(OUT)


if __name__ == "__main__":
    sys.exit(main())
