#include "detailwindow/detailrows.h"

#include "detailwindow/sourcedisplay.h"
#include "platform/displaytext.h"

#include <QFont>
#include <QFutureWatcher>
#include <QMimeData>
#include <QPromise>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace tovanel {

DetailRows::DetailRows(QObject* parent) : QAbstractTableModel(parent) {}

DetailRows::~DetailRows() {
    cancelDecoding();
}

namespace {

QSize pictureSize(QSize image, int width) {
    if (image.isEmpty()) {
        return {};
    }
    const QSize fit = image.scaled(std::max(width, 16), DetailRows::MaxPictureHeight, Qt::KeepAspectRatio);
    return fit.height() < image.height() ? fit.expandedTo(QSize(1, 1)) : image;
}

// Runs a photo's decoding on Qt's thread pool; a cancelled future stops it before or while it reads.
QFuture<QImage> decodeOnPool(std::function<QImage(const PhotoCancelled&)> decode) {
    auto promise = std::make_shared<QPromise<QImage>>();
    QFuture<QImage> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, decode = std::move(decode)] {
        const PhotoCancelled cancelled = [&promise] { return promise->isCanceled(); };
        if (!cancelled()) {
            promise->addResult(decode(cancelled));
        }
        promise->finish();
    });
    return future;
}

// A dragged photo: the picture is decoded whole on another thread from the start of the drag, and only a
// target that asks for a picture waits for it.
class PhotoMimeData final : public QMimeData {
public:
    explicit PhotoMimeData(QFuture<QImage> picture) : m_picture(std::move(picture)) {}
    ~PhotoMimeData() override { m_picture.cancel(); }

    QStringList formats() const override {
        return QMimeData::formats() << QStringLiteral("application/x-qt-image");
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType != QLatin1String("application/x-qt-image")) {
            return QMimeData::retrieveData(mimeType, type);
        }
        m_picture.waitForFinished();
        return m_picture.isCanceled() || m_picture.resultCount() == 0 ? QVariant()
                                                                      : QVariant(m_picture.result());
    }

private:
    mutable QFuture<QImage> m_picture;
};

} // namespace

void DetailRows::cancelDecoding() {
    for (QFuture<QImage>& decode : m_decodes) {
        decode.cancel();
    }
    m_decodes.clear();
}

void DetailRows::setRows(QList<Row> rows, int pictureWidth) {
    beginResetModel();
    ++m_generation;
    cancelDecoding();
    m_rows = std::move(rows);
    m_pictureWidth = pictureWidth;
    m_pictures.clear();
    m_pictures.resize(m_rows.size());
    endResetModel();
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const Row& row = m_rows.at(i);
        if (!row.image.isNull()) {
            setPicture(i, row.image);
        } else if (!row.photo.isEmpty()) {
            // Decoding a photo of megabytes takes longer than the whole list: it comes when it is ready,
            // decoded straight to the size it is shown at.
            auto* watcher = new QFutureWatcher<QImage>(this);
            connect(watcher, &QFutureWatcherBase::finished, this,
                    [this, watcher, i, generation = m_generation] {
                        if (generation == m_generation && i < m_rows.size() && !watcher->isCanceled()) {
                            const QImage image =
                                watcher->future().resultCount() > 0 ? watcher->result() : QImage();
                            if (image.isNull()) {
                                m_rows[i].value = QStringLiteral("(kein lesbares Bild)");
                                m_rows[i].photo.clear();
                                emit dataChanged(index(i, DetailRows::Value), index(i, DetailRows::Value));
                            } else {
                                setPicture(i, image);
                            }
                        }
                        watcher->deleteLater();
                    });
            const QSize box = pictureSize(row.photoSize, m_pictureWidth);
            m_decodes.append(decodeOnPool([photo = row.photo, box](const PhotoCancelled& cancelled) {
                return previewPhoto(photo, box, cancelled);
            }));
            watcher->setFuture(m_decodes.last());
        }
    }
}

QFuture<QImage> DetailRows::fullPicture(int index) const {
    return decodeOnPool(
        [row = m_rows.at(index)](const PhotoCancelled& cancelled) { return fullPhoto(row, cancelled); });
}

void DetailRows::setPicture(int index, const QImage& image) {
    m_rows[index].image = image;
    // Scaled once here rather than at every paint; the row keeps its photo's bytes for copying.
    const QSize size = pictureSize(image.size(), m_pictureWidth);
    m_pictures[index] = QPixmap::fromImage(
        size == image.size() ? image : image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    emit dataChanged(this->index(index, DetailRows::Value), this->index(index, DetailRows::Value));
}

int DetailRows::pictureHeight(int index) const {
    if (index < 0 || index >= m_rows.size()) {
        return 0;
    }
    const Row& row = m_rows.at(index);
    return pictureSize(row.image.isNull() ? row.photoSize : row.image.size(), m_pictureWidth).height();
}

int DetailRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DetailRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DetailRows::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const Row& r = m_rows.at(index.row());
    if (role == Qt::ToolTipRole) {
        // A tip, like the double-click box, has to fit on the screen.
        return index.column() == Label ? r.label
                                       : boxText(QStringView(r.value).first(
                                             std::min(r.value.size(), SourceLimits::MaxBoxChars + 1)));
    }
    if (index.column() == Value && !m_pictures.at(index.row()).isNull()) {
        // The picture stands for itself; its size is in the value for copying and the double-click box.
        return role == Qt::DecorationRole ? QVariant(m_pictures.at(index.row())) : QVariant();
    }
    if (role == Qt::FontRole && index.column() == Value && r.bold) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (index.column() == Label) {
        return r.label;
    }
    // A cell shows one elided line; laying out megabytes only to elide them would stall painting.
    return cellText(r.value);
}

Qt::ItemFlags DetailRows::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList DetailRows::mimeTypes() const {
    return {QStringLiteral("text/plain")};
}

QMimeData* DetailRows::mimeData(const QModelIndexList& indexes) const {
    // A row is dragged as both of its cells; what leaves the window is the value alone.
    for (const QModelIndex& index : indexes) {
        if (checkIndex(index, CheckIndexOption::IndexIsValid)) {
            const Row& row = m_rows.at(index.row());
            auto* mime = isPicture(row) ? new PhotoMimeData(fullPicture(index.row())) : new QMimeData;
            mime->setText(row.value);
            return mime;
        }
    }
    return nullptr;
}

} // namespace tovanel
