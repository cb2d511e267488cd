// Vector rendering of panels for printing, and the strip chart and histogram
// as image files.
#include "platform/plot_export.h"

#include <QFileInfo>
#include <QMenu>
#include <QPicture>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include "platform/platform.h"

namespace platform {

namespace {

// QWidget::render falls back to a pixmap of the whole window when it paints on
// a printer; painting into a picture first keeps every drawing command.
void paintTree(QWidget* widget, QWidget* top, QCPPainter& painter, const QRect& shown)
{
    const QPoint at = widget->mapTo(top, QPoint(0, 0));
    const QRect place(at, widget->size());
    const QRect visible = place & shown;
    if (visible.isEmpty())
        return;
    // A widget a scrolled view cuts is printed as cut, not over its neighbours.
    const bool cut = visible != place;
    if (auto* plot = qobject_cast<QCustomPlot*>(widget)) {
        // A plot's own paint event only copies its screen buffers.
        painter.save();
        if (cut)
            painter.setClipRect(visible);
        painter.translate(at);
        painter.setMode(QCPPainter::pmVectorized);
        plot->toPainter(&painter, plot->width(), plot->height());
        painter.restore();
        return;
    }
    widget->render(&painter, at, cut ? QRegion(visible.translated(-at)) : QRegion(),
                   QWidget::DrawWindowBackground);
    for (QObject* child : widget->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && w->isVisibleTo(top))
            paintTree(w, top, painter, visible);
    }
}

}  // namespace

void paintWindowAsVectors(QWidget* window, QPainter& painter, const QRectF& target)
{
    window->ensurePolished();
    if (window->size().isEmpty())
        window->adjustSize();
    if (!window->isVisible() && window->layout())
        window->layout()->activate();
    QPicture picture;
    {
        QCPPainter recorder(&picture);
        paintTree(window, window, recorder, window->rect());
    }
    const QSizeF size = window->size();
    const double scale =
        std::min(target.width() / size.width(), target.height() / size.height());
    const QSizeF drawn = size * scale;
    painter.save();
    painter.translate(target.x() + (target.width() - drawn.width()) / 2.0,
                      target.y() + (target.height() - drawn.height()) / 2.0);
    painter.scale(scale, scale);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

bool savePlotImage(QCustomPlot* plot, const QString& path)
{
    const QString type = QFileInfo(path).suffix().toLower();
    if (type == "png")
        return plot->savePng(path, 0, 0, 2.0);  // twice the screen's pixels, for print
    if (type == "pdf")
        return plot->savePdf(path, 0, 0, QCP::epNoCosmetic, "Merrivan");
    if (type == "svg") {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(plot->size());
        svg.setViewBox(QRect(QPoint(0, 0), plot->size()));
        svg.setTitle("Merrivan");
        QCPPainter painter;
        if (!painter.begin(&svg))
            return false;
        painter.setMode(QCPPainter::pmVectorized);
        plot->toPainter(&painter, plot->width(), plot->height());
        painter.end();
        return QFileInfo(path).size() > 0;
    }
    return false;
}

bool askAndSavePlotImage(QCustomPlot* plot)
{
    char path[4096];
    if (FileSelectPopup("", "*.png", "PNG image (*.png);;PDF document (*.pdf);;SVG drawing (*.svg)",
                        "Save Image", VAL_SAVE_BUTTON, 0, 0, 1, 1, path,
                        sizeof path) == VAL_NO_FILE_SELECTED)
        return false;
    QString file = QString::fromLocal8Bit(path);
    const QString type = QFileInfo(file).suffix().toLower();
    if (type != "png" && type != "pdf" && type != "svg")
        file += ".png";
    bool saved = false;
    {
        const BusyCursor busy;
        saved = savePlotImage(plot, file);
    }
    if (!saved)
        MessagePopup("Save Image",
                     QString("The image could not be written to %1.")
                         .arg(file)
                         .toLocal8Bit()
                         .constData());
    return saved;
}

void offerImageExport(QCustomPlot* plot)
{
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(plot, &QWidget::customContextMenuRequested, plot, [plot](const QPoint& at) {
        auto* menu = new QMenu(plot);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction("Save image...", plot, [plot] { askAndSavePlotImage(plot); });
        menu->popup(plot->mapToGlobal(at));
    });
}

}  // namespace platform
