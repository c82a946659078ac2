pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Viz
import Tidewell.Ui

// The map of the focused folder, as a treemap or a sunburst, with its
// caption, the two mode buttons and the quick way back to the parents.
FocusScope {
    id: pane

    required property AppModel model
    required property NodeContextMenu nodeMenu
    readonly property bool sunburst: model.vizMode === AppModel.VizMode.sunburst

    function leftMap(hovered: bool) {
        if (!hovered && pane.model.hovered !== undefined)
            pane.model.hovered = undefined;
    }

    // Drawn while the keyboard is here.
    property bool showFocus: false

    activeFocusOnTab: true

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 2
            Layout.rightMargin: 2
            spacing: 8

            Text {
                objectName: "mapCaption"
                Layout.fillWidth: true
                text: pane.sunburst ? "Açı, kapladığı yer ile orantılı · dilime tıkla: içine gir · ortaya tıkla: geri" : "Alan, kapladığı yer ile orantılı · içine girmek için bir bloğa tıkla"
                elide: Text.ElideRight
                font: Theme.font(12, Font.Normal)
                color: Theme.textTertiary
            }

            Row {
                spacing: 3

                VizModeButton {
                    objectName: "treemapButton"
                    model: pane.model
                    mode: AppModel.VizMode.treemap
                    icon: "square.grid.2x2"
                    tooltip: "Blok görünümü"
                }

                VizModeButton {
                    objectName: "sunburstButton"
                    model: pane.model
                    mode: AppModel.VizMode.sunburst
                    icon: "chart.pie"
                    tooltip: "Halka görünümü"
                }
            }
        }

        Rectangle {
            id: surface

            objectName: "mapSurface"
            Layout.fillWidth: true
            Layout.fillHeight: true
            radius: 12
            color: Theme.mapSurface

            // Inset so the cells' corners stay inside the rounded surface.
            // The view not shown has no model, so it does no work.
            TreemapView {
                objectName: "treemap"
                anchors.fill: parent
                anchors.margins: 3
                visible: !pane.sunburst && pane.model.focus.isValid
                model: visible ? pane.model : null
                onContextMenuRequested: (node, isDirectory, inBasket, position) => pane.nodeMenu.openFor(node, node.isValid, inBasket)

                // Leaving the map clears the hover it set, once. On the view
                // itself: it takes the hover events, so its parents see none.
                HoverHandler {
                    onHoveredChanged: pane.leftMap(hovered)
                }
            }

            SunburstView {
                objectName: "sunburst"
                anchors.fill: parent
                anchors.margins: 3
                visible: pane.sunburst && pane.model.focus.isValid
                model: visible ? pane.model : null
                onContextMenuRequested: (node, isDirectory, inBasket, position) => pane.nodeMenu.openFor(node, node.isValid, inBasket)

                HoverHandler {
                    onHoveredChanged: pane.leftMap(hovered)
                }
            }

            Rectangle {
                anchors.fill: parent
                radius: 12
                color: "transparent"
                border.color: pane.showFocus ? Theme.accent : Qt.rgba(1, 1, 1, 0.05)
                border.width: pane.showFocus ? 1.5 : 1
            }

            QuickBackChips {
                anchors.left: parent.left
                anchors.bottom: parent.bottom
                model: pane.model
            }
        }
    }
}
