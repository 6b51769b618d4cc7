// A second program for the desktop tests, standing in for a file manager: a
// small window that, when pressed, starts a real drag of the file named on
// its command line, offered as text/uri-list and as text/plain, as file
// managers offer it. It prints the drop's result and then keeps running, as a
// file manager does: the target reads the dragged data only at the drop,
// from this process, after the drag has ended here. The test ends it.
#include <cstdio>

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(const QString& file) : file_(file) {
        setWindowTitle(QStringLiteral("vem-drag-source"));
        resize(160, 120);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const QUrl url = QUrl::fromLocalFile(QFileInfo(file_).absoluteFilePath());
        auto* data = new QMimeData;
        data->setUrls({url});
        data->setText(url.toString());
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
        std::printf("drop result %d\n", static_cast<int>(result));
        std::fflush(stdout);
    }

private:
    QString file_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vem_drag_source FILE\n");
        return 2;
    }
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.show();
    return app.exec();
}
