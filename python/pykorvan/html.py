"""Pieces of the self-contained HTML pages: the page frame, tables, figures."""

from __future__ import annotations

from html import escape
from typing import Any, Iterable, Sequence

STYLE = """
body { font-family: sans-serif; margin: 1.5em auto; max-width: 64em; color: #222; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; margin-top: 1.6em;
  border-bottom: 1px solid #ccc; } h3 { font-size: 1.05em; }
table { border-collapse: collapse; margin: 0.6em 0; font-size: 0.85em; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; text-align: right; }
th { background: #eef2f7; } td { white-space: nowrap; } td.text, th.text { text-align: left; }
figure { margin: 0.8em 0; } figure svg { max-width: 100%; height: auto; }
figcaption { font-size: 0.8em; color: #555; }
.note { font-size: 0.85em; color: #555; }
tr.max td { font-weight: bold; }
"""


def page(title: str, body: Iterable[str]) -> str:
    """Return a whole HTML page (UTF-8, inline style, no external resource)."""
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            f"<title>{escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
            f"<h1>{escape(title)}</h1>\n" + "\n".join(body) + "\n</body>\n</html>\n")


def cell(value: Any) -> str:
    """Return the text of a table cell (- for a missing value)."""
    if value is None or value == "":
        return "-"
    if isinstance(value, float):
        return f"{value:.6g}"
    return str(value)


def table(header: Sequence[str], rows: Iterable[Sequence[Any]], css: str = "",
          text_columns: int = 1, row_classes: Sequence[str] = ()) -> str:
    """Return an HTML table; the first ``text_columns`` columns are left-aligned."""
    head = "".join(f"<th class=\"text\">{escape(h)}</th>" if j < text_columns
                   else f"<th>{escape(h)}</th>" for j, h in enumerate(header))
    lines = [f"<table class=\"{css}\">" if css else "<table>", f"<tr>{head}</tr>"]
    for i, row in enumerate(rows):
        cls = row_classes[i] if i < len(row_classes) and row_classes[i] else ""
        cells = "".join(f"<td class=\"text\">{escape(cell(v))}</td>" if j < text_columns
                        else f"<td>{escape(cell(v))}</td>" for j, v in enumerate(row))
        lines.append(f"<tr class=\"{cls}\">{cells}</tr>" if cls else f"<tr>{cells}</tr>")
    lines.append("</table>")
    return "\n".join(lines)


def figure(svg: str, ident: str, caption: str) -> str:
    """Return a figure element holding an inline SVG drawing."""
    return (f"<figure class=\"plot\" id=\"{escape(ident)}\">\n{svg}\n"
            f"<figcaption>{escape(caption)}</figcaption>\n</figure>")
