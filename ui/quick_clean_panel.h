// What the quick-clean panel shows and decides, for QuickCleanView.qml: one
// list row per row of the quick-clean model with its texts and colours, the
// header's total, and the two-step confirmation of the empty buttons (at most
// one row asks at a time; an unanswered question falls back after a while).
#pragma once

#include <QtQml/qqmlregistration.h>
#include <QAbstractListModel>
#include <QColor>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>
#include <vector>

#include "quick_clean_model.h"

namespace tidewell {

class QuickCleanPanel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made with the panel's window")
    // The row (its relative path) whose empty button waits for a second press.
    Q_PROPERTY(QString confirmingId READ confirmingId NOTIFY confirmingIdChanged)
    // The sum of the measured sizes; empty while it is 0.
    Q_PROPERTY(QString totalText READ totalText NOTIFY totalTextChanged)
    Q_PROPERTY(bool hasAccess READ hasAccess NOTIFY hasAccessChanged)
    Q_PROPERTY(QString accessMessage READ accessMessage CONSTANT)

  public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NameRole,
        SymbolRole,
        WarningRole,  // the triangle's tooltip; empty: no triangle
        ErrorTextRole,
        IsMeasuringRole,
        IsCleaningRole,
        SizeTextRole,
        SizeColorRole,
        ButtonTextRole,
        ConfirmingRole,
    };

    static constexpr std::chrono::milliseconds kConfirmWindow{4000};

    explicit QuickCleanPanel(QuickCleanModel& model, QObject* parent = nullptr);

    // How long a question waits for its second press (shorter in tests).
    void setConfirmWindow(std::chrono::milliseconds window);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QString& confirmingId() const { return confirmingId_; }
    const QString& totalText() const { return totalText_; }
    bool hasAccess() const { return model_.hasAccess(); }
    QString accessMessage() const;

    // The empty button: the first press asks, a second one on the same row
    // empties it; a press on another row moves the question there.
    Q_INVOKABLE void pressEmpty(const QString& id);
    Q_INVOKABLE void openFolder(const QString& id) const;
    Q_INVOKABLE void refresh() { model_.refresh(); }
    // Each time the panel is shown.
    void appear() { model_.appear(); }
    // The footer's "Uygulamayı Aç" and the Escape key; the window acts on them.
    Q_INVOKABLE void openApplication() { emit applicationRequested(); }
    Q_INVOKABLE void dismiss() { emit dismissRequested(); }

    // The size's colour: red from 5 GB, orange from 1 GB, grey below,
    // a dimmer grey when there is no size.
    static QColor sizeColor(std::optional<qint64> bytes);

  signals:
    void confirmingIdChanged();
    void totalTextChanged();
    void hasAccessChanged();
    void applicationRequested();
    void dismissRequested();

  private:
    void takeRows();
    void setConfirmingId(const QString& id);
    const QuickCleanModel::Row* rowAt(int index) const;

    QuickCleanModel& model_;
    std::vector<QString> ids_;  // the rows as last announced to the view
    QString confirmingId_;
    QString totalText_;
    QTimer fallBack_;
};

}  // namespace tidewell
