pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Tidewell.Ui

// The frame the three sheets share: a modal card over the dimmed window with
// a header (symbol, title, subtitle, the sheet's tools, close), an optional
// bar under it, the sheet's content and a footer (the hint or a summary on
// the left, the sheet's actions and "Bitti" on the right), with hairlines
// between them. Open while `shown`; every way of closing it (Escape, the
// close button, "Bitti") emits dismissed, which the sheet writes back to
// its model flag.
Popup {
    id: sheet

    property bool shown
    property string symbol
    property string title
    property string subtitle
    // The footer's left side: the summary when there is one, else the hint.
    property string hint
    property string summary
    property bool showDone: true
    property bool hasBar: false
    // The sheet's content fills the middle.
    default property alias content: body.data
    // Before the close button.
    property alias tools: toolsRow.data
    // The row under the header (the Downloads filter chips).
    property alias bar: barRow.data
    // The footer's right side, before "Bitti".
    property alias actions: actionsRow.data

    signal dismissed

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    // Room for the longest category line at the design's fonts; never
    // larger than the window.
    width: Math.min(720, (parent ? parent.width : 720) - 48)
    height: Math.min(620, (parent ? parent.height : 620) - 48)
    modal: true
    focus: true
    padding: 0
    closePolicy: Popup.CloseOnEscape
    onShownChanged: shown ? open() : close()
    onClosed: sheet.dismissed()
    Component.onCompleted: if (shown) open()

    T.Overlay.modal: Rectangle {
        color: Theme.dimmer
    }

    background: Rectangle {
        radius: 14
        color: Theme.sheetFill
        border.color: Qt.rgba(1, 1, 1, 0.1)
        border.width: 1
    }

    // Not the contentItem: that one is made late, and these parts have ids.
    contentData: ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 16
            Layout.topMargin: 16
            Layout.bottomMargin: 14
            spacing: 10

            Icon {
                symbol: sheet.symbol
                size: 17
                color: Theme.textPrimary
            }

            Column {
                Layout.fillWidth: true
                spacing: 2

                Text {
                    objectName: "sheetTitle"
                    text: sheet.title
                    font: Theme.font(16, Font.Bold)
                    color: Theme.textPrimary
                }

                Text {
                    objectName: "sheetSubtitle"
                    width: parent.width
                    text: sheet.subtitle
                    elide: Text.ElideMiddle
                    font: Theme.font(12, Font.Normal)
                    color: Theme.textSecondary
                }
            }

            Row {
                id: toolsRow

                spacing: 8
            }

            RoundIconButton {
                objectName: "sheetClose"
                symbol: "xmark"
                onClicked: sheet.close()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.hairline
        }

        RowLayout {
            id: barRow

            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 10
            Layout.bottomMargin: 10
            visible: sheet.hasBar
            spacing: 6
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            visible: sheet.hasBar
            color: Theme.hairline
        }

        Item {
            id: body

            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.hairline
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 16
            Layout.topMargin: 12
            Layout.bottomMargin: 12
            spacing: 8

            PlusHint {
                objectName: "sheetHint"
                visible: sheet.summary === ""
                hint: sheet.hint
            }

            Text {
                objectName: "sheetSummary"
                visible: sheet.summary !== ""
                text: sheet.summary
                font: Theme.digitsFont(12, Font.Normal)
                color: Theme.textSecondary
            }

            Item {
                Layout.fillWidth: true
            }

            Row {
                id: actionsRow

                spacing: 8
            }

            Rectangle {
                objectName: "sheetDone"
                visible: sheet.showDone
                implicitWidth: doneLabel.implicitWidth + 32
                implicitHeight: doneLabel.implicitHeight + 12
                radius: 8

                gradient: Gradient {
                    GradientStop {
                        position: 0
                        color: Theme.accentGradient[0]
                    }

                    GradientStop {
                        position: 1
                        color: Theme.accentGradient[1]
                    }
                }

                Text {
                    id: doneLabel

                    anchors.centerIn: parent
                    text: "Bitti"
                    font: Theme.font(13, Font.DemiBold)
                    color: "white"
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: sheet.close()
                }
            }
        }
    }
}
