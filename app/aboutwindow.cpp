#include "aboutwindow.h"

#include "operatorhelp.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_memo1(new QPlainTextEdit(aboutText(), this))
{
    setWindowTitle(u"About"_s);
    m_memo1->setReadOnly(true);
    describeControl(m_memo1, u"Memo1"_s, u"About"_s);
    closeOnEscape(this);
    auto *fill = new QVBoxLayout(this);
    fill->setContentsMargins(8, 8, 8, 8);
    fill->addWidget(m_memo1);
    resize(kSize);
}

QString TForm2::aboutText()
{
    return u"KRV Amplifier controller\n"
           "Version: 0.2\n"
           "Date: 05.05.2007\n"
           "\n"
           "Brightwater Audio Engineering\n"
           "Networked amplifier systems\n"
           "Control software group\n"
           "\n"
           "THIS SOFTWARE IS PROVIDED \"AS IS\" AND WITHOUT ANY EXPRESS OR "
           "IMPLIED WARRANTIES, INCLUDING, WITHOUT LIMITATION, THE IMPLIED "
           "WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR "
           "PURPOSE. IN NO EVENT SHALL THE MAKER OR ITS CONTRIBUTORS BE LIABLE "
           "FOR ANY DIRECT, INDIRECT, INCIDENTAL OR CONSEQUENTIAL DAMAGES "
           "ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF "
           "ADVISED OF THE POSSIBILITY OF SUCH DAMAGE."_s;
}
