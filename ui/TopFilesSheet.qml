pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Model
import Tidewell.Ui

// The largest files of the scan, ranked, each ready for the basket.
SheetFrame {
    id: sheet

    required property AppModel model
    readonly property TopFilesModel files: model.topFileItems
    readonly property bool searching: model.isAnalyzingTop

    shown: model.showTopFiles
    symbol: "list.number"
    title: "En Büyük 100"
    subtitle: "Bu taramadaki en büyük dosyalar"
    hint: "Öğeleri ＋ ile sepete ekle · sağ tık: önizle"
    summary: model.basketItems.count > 0 ? Sheets.basketSummary(model.basketItems.count, model.basketItems.total) : ""
    onDismissed: model.showTopFiles = false

    SheetProgress {
        anchors.centerIn: parent
        visible: sheet.searching
        text: "Aranıyor…"
    }

    Text {
        objectName: "topFilesEmpty"
        anchors.centerIn: parent
        visible: !sheet.searching && sheet.files.hasResults && sheet.files.count === 0
        text: "Dosya bulunamadı."
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
    }

    ListView {
        id: list

        objectName: "topFilesList"
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        visible: !sheet.searching && sheet.files.count > 0
        topMargin: 12
        bottomMargin: 12
        spacing: 1
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: sheet.files
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }

        delegate: TopFileRow {
            width: list.width
            app: sheet.model
            nodeMenu: menu
        }
    }

    NodeContextMenu {
        id: menu

        model: sheet.model
    }
}
