#pragma once

#include "export/contactexport.h"

#include <QPageLayout>

class QIODevice;
class QPagedPaintDevice;
class QPainter;

namespace tovanel {

// The telephone list on A4 portrait pages: a heading with the file's name and the date, the columns Name,
// Firma, Mobil, Privat, Arbeit and e-mail cut to fit, favourites bold, a letter before each new initial
// when the list is sorted by name, and "Seite n von m" at the bottom. Every row is one line high, so the
// pages are counted in advance and laid out one at a time as they are painted: a list of a million
// contacts needs no more memory than one page.
//
// Paints on `painter`, which is active on `device` (a QPrinter or a QPdfWriter set to A4), starting a new
// page on the device between pages; with `mostPages` above 0 only that many (the footer still counts all),
// and `allPages`, when given, gets how many the whole list takes. Returns false when the progress callback
// stopped it.
bool paintPhoneList(const ExportRequest& request, QPainter& painter, QPagedPaintDevice& device,
                    int mostPages = 0, int* allPages = nullptr);
// The pages the phone list is laid out for: A4 portrait with 15 mm margins, printed or written.
QPageLayout phoneListPageLayout();
// The list as a PDF with its fonts embedded, written to `out`. False when cancelled or not written.
bool writePhoneList(const ExportRequest& request, QIODevice& out);

} // namespace tovanel
