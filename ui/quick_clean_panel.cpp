#include "quick_clean_panel.h"

#include <numeric>

#include "platform_info.h"
#include "reveal.h"
#include "size_format.h"
#include "text_format.h"

namespace tidewell {

namespace {

constexpr qint64 kLargeBytes = 5'000'000'000;
constexpr qint64 kMediumBytes = 1'000'000'000;

QString sizeText(std::optional<qint64> bytes) {
    return bytes ? QString::fromStdString(formatBytes(*bytes)) : QStringLiteral("—");
}

}  // namespace

QuickCleanPanel::QuickCleanPanel(QuickCleanModel& model, QObject* parent)
    : QAbstractListModel(parent), model_(model) {
    fallBack_.setSingleShot(true);
    fallBack_.setInterval(kConfirmWindow);
    connect(&fallBack_, &QTimer::timeout, this, [this] { setConfirmingId({}); });
    connect(&model_, &QuickCleanModel::rowsChanged, this, &QuickCleanPanel::takeRows);
    connect(&model_, &QuickCleanModel::hasAccessChanged, this, &QuickCleanPanel::hasAccessChanged);
    takeRows();
}

void QuickCleanPanel::setConfirmWindow(std::chrono::milliseconds window) {
    fallBack_.setInterval(window);
}

QColor QuickCleanPanel::sizeColor(std::optional<qint64> bytes) {
    if (!bytes) return {122, 122, 130};
    if (*bytes >= kLargeBytes) return {255, 123, 114};
    if (*bytes >= kMediumBytes) return {255, 179, 71};
    return {139, 139, 147};
}

QString QuickCleanPanel::accessMessage() const {
    return QStringLiteral("Boyutları ölçmek için bir kez disk erişimi gerekli.\nUygulamayı açıp ") +
           accusativeName(startupDiskName()) + QStringLiteral(" tara — sonrası otomatik.");
}

// ---- rows --------------------------------------------------------------------------

void QuickCleanPanel::takeRows() {
    std::vector<QString> ids;
    for (const QuickCleanModel::Row& row : model_.rows()) ids.push_back(row.target.relativePath);
    if (ids == ids_) {
        // The same rows with new sizes or states: redraw them in place.
        if (!ids_.empty()) emit dataChanged(index(0), index(static_cast<int>(ids_.size()) - 1));
    } else {
        beginResetModel();
        ids_ = std::move(ids);
        endResetModel();
        if (std::find(ids_.begin(), ids_.end(), confirmingId_) == ids_.end()) setConfirmingId({});
    }
    const qint64 total = std::accumulate(
        model_.rows().begin(), model_.rows().end(), qint64{0},
        [](qint64 sum, const QuickCleanModel::Row& row) { return sum + row.bytes.value_or(0); });
    const QString text = total > 0 ? QString::fromStdString(formatBytes(total)) : QString();
    if (text != totalText_) {
        totalText_ = text;
        emit totalTextChanged();
    }
}

const QuickCleanModel::Row* QuickCleanPanel::rowAt(int index) const {
    if (index < 0 || index >= static_cast<int>(model_.rows().size())) return nullptr;
    return &model_.rows()[static_cast<std::size_t>(index)];
}

int QuickCleanPanel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

QVariant QuickCleanPanel::data(const QModelIndex& index, int role) const {
    const QuickCleanModel::Row* row = rowAt(index.row());
    if (row == nullptr) return {};
    const QuickCleanTarget& target = row->target;
    const bool confirming = confirmingId_ == target.relativePath;
    switch (role) {
        case IdRole:
            return target.relativePath;
        case NameRole:
            return target.name;
        case SymbolRole:
            return target.icon;
        case WarningRole:
            // The Trash's warning belongs to its confirmation, not to a triangle.
            return target.isTrashBin ? QString() : target.warning.value_or(QString());
        case ErrorTextRole:
            return row->errorText.value_or(QString());
        case IsMeasuringRole:
            return row->isMeasuring;
        case IsCleaningRole:
            return row->isCleaning;
        case SizeTextRole:
            return sizeText(row->bytes);
        case SizeColorRole:
            return sizeColor(row->bytes);
        case ButtonTextRole:
            return confirming          ? QStringLiteral("Emin misin?")
                   : target.isTrashBin ? QStringLiteral("Boşalt")
                                       : QStringLiteral("Temizle");
        case ConfirmingRole:
            return confirming;
        default:
            return {};
    }
}

QHash<int, QByteArray> QuickCleanPanel::roleNames() const {
    return {{IdRole, "rowId"},
            {NameRole, "name"},
            {SymbolRole, "symbol"},
            {WarningRole, "warning"},
            {ErrorTextRole, "errorText"},
            {IsMeasuringRole, "isMeasuring"},
            {IsCleaningRole, "isCleaning"},
            {SizeTextRole, "sizeText"},
            {SizeColorRole, "sizeColor"},
            {ButtonTextRole, "buttonText"},
            {ConfirmingRole, "confirming"}};
}

// ---- the two-step empty button -------------------------------------------------------

void QuickCleanPanel::setConfirmingId(const QString& id) {
    if (id == confirmingId_) return;
    const QString before = std::exchange(confirmingId_, id);
    for (const QString& changed : {before, id}) {
        const auto it = std::find(ids_.begin(), ids_.end(), changed);
        if (it == ids_.end()) continue;
        const QModelIndex at = index(static_cast<int>(it - ids_.begin()));
        emit dataChanged(at, at, {ButtonTextRole, ConfirmingRole});
    }
    emit confirmingIdChanged();
}

void QuickCleanPanel::pressEmpty(const QString& id) {
    const auto it = std::find(ids_.begin(), ids_.end(), id);
    if (it == ids_.end()) return;
    if (rowAt(static_cast<int>(it - ids_.begin()))->isCleaning) return;
    if (confirmingId_ == id) {
        fallBack_.stop();
        setConfirmingId({});
        model_.clean(id);
        return;
    }
    // Each question gets its whole time, even after an earlier one elsewhere.
    setConfirmingId(id);
    fallBack_.start();
}

void QuickCleanPanel::openFolder(const QString& id) const {
    if (std::find(ids_.begin(), ids_.end(), id) == ids_.end()) return;
    openFolderInFileManager(model_.folderOf(id));
}

}  // namespace tidewell
