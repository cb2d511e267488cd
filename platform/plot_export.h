// Vector output of panels and plots: printing, and images of the strip chart
// and the histogram.
#pragma once

#include <QRectF>
#include <QString>

class QCustomPlot;
class QPainter;
class QWidget;

namespace platform {

// Paints a window and everything shown in it into `target` of the painter,
// scaled to fit and centred, as vectors where Qt allows: texts stay texts and
// plots draw their lines themselves instead of their screen buffers.
void paintWindowAsVectors(QWidget* window, QPainter& painter, const QRectF& target);

// Writes a plot as an image; the file type follows the name's suffix (.png,
// .pdf, .svg). False when the type is unknown or the file cannot be written.
bool savePlotImage(QCustomPlot* plot, const QString& path);

// Asks for a file with the file pop-up and saves the plot there; false when
// nothing was chosen or the file could not be written (the user is told).
bool askAndSavePlotImage(QCustomPlot* plot);

// Gives a plot the context menu "Save image...", which asks for a file with
// the file pop-up and saves the plot there.
void offerImageExport(QCustomPlot* plot);

}  // namespace platform
