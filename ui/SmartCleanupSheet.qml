pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Model
import Tidewell.Ui

// The smart cleanup sheet: the known bloat of this scan, one card per
// category, largest first. Reads the model and calls its basket operations.
SheetFrame {
    id: sheet

    required property AppModel model
    readonly property SmartCleanupModel results: model.smartItems
    readonly property bool analyzing: model.isAnalyzingSmart

    shown: model.showSmartCleanup
    symbol: "sparkles"
    title: "Akıllı Temizlik"
    subtitle: "Bu taramadaki bilinen şişkinlik noktaları"
    hint: "Öğeleri ＋ ile sepete ekle"
    summary: model.basketItems.count > 0 ? Sheets.basketSummary(model.basketItems.count, model.basketItems.total) : ""
    onDismissed: model.showSmartCleanup = false

    SheetProgress {
        anchors.centerIn: parent
        visible: sheet.analyzing
        text: "Analiz ediliyor…"
    }

    Text {
        objectName: "smartEmpty"
        anchors.centerIn: parent
        visible: !sheet.analyzing && sheet.results.hasResults && sheet.results.count === 0
        text: "Bu taramada bilinen şişkinlik noktası bulunamadı."
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
    }

    Flickable {
        id: flick

        objectName: "smartCards"
        anchors.fill: parent
        visible: !sheet.analyzing && sheet.results.count > 0
        contentWidth: width
        contentHeight: cards.implicitHeight + 28
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }

        Column {
            id: cards

            x: 16
            y: 14
            width: flick.width - 32
            spacing: 8

            Repeater {
                model: sheet.results

                CategoryCard {
                    width: cards.width
                    app: sheet.model
                }
            }
        }
    }
}
