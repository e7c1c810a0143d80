#include "debug/frm_Debug.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "base/app_paths.h"
#include "forms/app.h"
#include "forms/msgbox.h"
#include "forms/runtime_error.h"
#include "forms/widgets.h"
#include "forms/window_events.h"
#include "objbase.h"
#include "ocidl.h"
#include "oleauto.h"
#include "shlwapi.h"

namespace debug {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string Narrow(BSTR s) {
  return QString::fromUtf16(s, static_cast<qsizetype>(SysStringLen(s))).toStdString();
}

BSTR Wide(const std::string& s) {
  const QString q = Q(s);
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(q.utf16()),
                           static_cast<UINT>(q.size()));
}

// The control's refusal as the forms runtime's failure: its error number and description.
void ThrowIfFailed(HRESULT hr) {
  if (SUCCEEDED(hr)) return;
  std::string description = "Automation error";
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text != nullptr) description = Narrow(text);
    SysFreeString(text);
    info->Release();
  }
  throw forms::RuntimeError(static_cast<int>(hr & 0xFFFF), description);
}

std::string ClsidText() {
  OLECHAR text[40] = {};
  StringFromGUID2(marlet::kClsidMarlet, text, 40);
  return QString::fromUtf16(text).toStdString();
}

// The control's stored properties as the window's definition holds them.
void LoadStoredProperties(IUnknown* control) {
  ole::ComPtr<IPersistPropertyBag> persist;
  if (FAILED(control->QueryInterface(IID_IPersistPropertyBag, persist.put_void()))) return;
  ole::ComPtr<IPropertyBag> bag;
  if (FAILED(SHCreatePropertyBagOnMemory(STGM_READWRITE, IID_IPropertyBag, bag.put_void()))) {
    return;
  }
  const struct {
    const char16_t* name;
    VARTYPE type;
    LONG value;
  } kStored[] = {
      {u"InBufferSize", VT_I4, 2048}, {u"LocalPort", VT_I4, 0},
      {u"MaxPacketSize", VT_I4, 2048}, {u"OutBufferSize", VT_I4, 2048},
      {u"QOSFlags", VT_I4, 0},        {u"RemoteHost", VT_BSTR, 0},
      {u"RemotePort", VT_I4, 0},      {u"TimeToLive", VT_I4, 0},
      {u"UseConnection", VT_BOOL, VARIANT_FALSE}, {u"WinsockLoaded", VT_BOOL, VARIANT_TRUE},
  };
  for (const auto& p : kStored) {
    VARIANT v;
    VariantInit(&v);
    v.vt = p.type;
    if (p.type == VT_BSTR) {
      v.bstrVal = SysAllocString(u"");
    } else if (p.type == VT_BOOL) {
      v.boolVal = static_cast<VARIANT_BOOL>(p.value);
    } else {
      v.lVal = p.value;
    }
    bag->Write(p.name, &v);
    VariantClear(&v);
  }
  persist->Load(bag.get(), nullptr);
}

}  // namespace

// The window's sink on the control's event interface: arguments arrive by reference and in
// reverse order.
class MarletEvents final : public IDispatch {
 public:
  explicit MarletEvents(frm_Debug& window) : window_(window) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == marlet::kIidIMarletEvents) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // Owned by the window, which outlives its connection.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    const VARIANT* a = params ? params->rgvarg : nullptr;
    const UINT n = params ? params->cArgs : 0;
    // Nothing of a handler's failure may cross back into the control.
    try {
      if (id == marlet::kDispDataIn && n == 3 && a[2].vt == (VT_BYREF | VT_BSTR) &&
          a[1].vt == (VT_BYREF | VT_BSTR) && a[0].vt == (VT_BYREF | VT_I2)) {
        window_.Marlet1_DataIn(Narrow(*a[2].pbstrVal), Narrow(*a[1].pbstrVal), *a[0].piVal);
      } else if (id == marlet::kDispError && n == 2 && a[1].vt == (VT_BYREF | VT_I2) &&
                 a[0].vt == (VT_BYREF | VT_BSTR)) {
        window_.Marlet1_Error(*a[1].piVal, Narrow(*a[0].pbstrVal));
      } else if (id == marlet::kDispReadyToSend) {
        window_.Marlet1_ReadyToSend();
      } else {
        return DISP_E_MEMBERNOTFOUND;
      }
    } catch (const std::exception&) {
    }
    return S_OK;
  }

 private:
  frm_Debug& window_;
};

frm_Debug::frm_Debug()
    : logic_(*this, *this, GetAppPath() + kLogFileName),
      events_(std::make_unique<MarletEvents>(*this)) {
  setObjectName(QString::fromLatin1(kFormName));
  setWindowTitle(QString::fromLatin1(kInitialCaption));
  BuildControls();
  forms::SetTabChain({lstResponse, cmd_StartStop, cmd_Clear, txt_Mv_IPAddress, cmd_Write2File,
                      Chk_LogData});
  forms::NameControls(this);
  CreateMarlet();
  Form_Load();
}

frm_Debug::~frm_Debug() {
  if (!unloaded_) Form_Unload();
  if (Marlet1) {
    ole::ComPtr<IConnectionPointContainer> container;
    ole::ComPtr<IConnectionPoint> point;
    if (cookie_ != 0 &&
        SUCCEEDED(Marlet1->QueryInterface(IID_IConnectionPointContainer,
                                          container.put_void())) &&
        SUCCEEDED(container->FindConnectionPoint(marlet::kIidIMarletEvents, point.put()))) {
      point->Unadvise(cookie_);
    }
    Marlet1.reset();
  }
  if (com_initialized_) CoUninitialize();
}

void frm_Debug::BuildControls() {
  auto* column = new QVBoxLayout(this);
  lstResponse = new QListWidget;
  lstResponse->setObjectName(QStringLiteral("lstResponse"));
  lstResponse->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstResponse->setUniformItemSizes(true);  // tens of thousands of rows stay cheap to lay out
  lstResponse->setMinimumSize(600, 300);
  lstResponse->installEventFilter(this);
  column->addWidget(lstResponse, 1);

  auto* bottom = new QHBoxLayout;
  cmd_StartStop = forms::MakeButton("cmd_StartStop", kStart);
  txt_Mv_IPAddress = new QLineEdit(QString::fromLatin1(kInitialAddress));
  txt_Mv_IPAddress->setObjectName(QStringLiteral("txt_Mv_IPAddress"));
  lbl_UDPIP = forms::MakeLabel("Meter's IP Address", txt_Mv_IPAddress);
  lbl_UDPIP->setObjectName(QStringLiteral("lbl_UDPIP"));
  Chk_LogData = forms::MakeCheck("Chk_LogData", "Log Data Upon Receipt");
  cmd_Clear = forms::MakeButton("cmd_Clear", "Clear");
  cmd_Write2File = forms::MakeButton("cmd_Write2File", "Log Output");
  for (QWidget* w : std::initializer_list<QWidget*>{cmd_StartStop, lbl_UDPIP, txt_Mv_IPAddress,
                                                    Chk_LogData, cmd_Clear, cmd_Write2File}) {
    bottom->addWidget(w);
  }
  column->addLayout(bottom);

  Timer_Process = new QTimer(this);
  Timer_Process->setObjectName(QStringLiteral("Timer_Process"));
  Timer_Process->setInterval(kPollMilliseconds);
  connect(Timer_Process, &QTimer::timeout, this, [this] { Timer_Process_Timer(); });
  connect(cmd_StartStop, &QPushButton::clicked, this, [this] { cmd_StartStop_Click(); });
  connect(cmd_Clear, &QPushButton::clicked, this, [this] { cmd_Clear_Click(); });
  connect(cmd_Write2File, &QPushButton::clicked, this, [this] { cmd_Write2File_Click(); });
}

void frm_Debug::CreateMarlet() {
  com_initialized_ = SUCCEEDED(CoInitialize(nullptr));
  const HRESULT hr = CoCreateInstance(marlet::kClsidMarlet, nullptr, CLSCTX_INPROC_SERVER,
                                      marlet::kIidIMarlet, Marlet1.put_void());
  if (FAILED(hr) || !Marlet1) {
    Marlet1.reset();
    forms::Show(CreateFailedMessage(hr, ClsidText()));
    return;
  }
  LoadStoredProperties(Marlet1.get());
  ole::ComPtr<IConnectionPointContainer> container;
  ole::ComPtr<IConnectionPoint> point;
  if (SUCCEEDED(Marlet1->QueryInterface(IID_IConnectionPointContainer, container.put_void())) &&
      SUCCEEDED(container->FindConnectionPoint(marlet::kIidIMarletEvents, point.put()))) {
    point->Advise(events_.get(), &cookie_);
  }
}

void frm_Debug::Form_Load() { forms::Announce(kFormName, forms::WindowEvent::kLoaded); }

void frm_Debug::closeEvent(QCloseEvent* event) {
  if (!unloaded_) Form_Unload();
  event->accept();
}

void frm_Debug::Form_Unload() {
  unloaded_ = true;
  logic_.Unload();
  forms::Announce(kFormName, forms::WindowEvent::kUnloaded);
}

bool frm_Debug::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstResponse && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopySelectedRows();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void frm_Debug::CopySelectedRows() {
  QStringList rows;
  for (int i = 0; i < lstResponse->count(); ++i) {
    if (lstResponse->item(i)->isSelected()) rows << lstResponse->item(i)->text();
  }
  if (rows.isEmpty()) return;
  QApplication::clipboard()->setText(rows.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void frm_Debug::cmd_StartStop_Click() { logic_.StartStop(); }
void frm_Debug::cmd_Clear_Click() { lstResponse->clear(); }
void frm_Debug::cmd_Write2File_Click() { logic_.WriteToFile(); }
void frm_Debug::Timer_Process_Timer() { logic_.Tick(); }

void frm_Debug::Marlet1_DataIn(const std::string& datagram, const std::string&, int16_t) {
  logic_.OnDataIn(datagram);
}
void frm_Debug::Marlet1_Error(int16_t error_code, const std::string& description) {
  logic_.OnError(error_code, description);
}
void frm_Debug::Marlet1_ReadyToSend() { logic_.OnReadyToSend(); }
void frm_Debug::Write_Log_Info(const std::string& text) { logic_.WriteLogInfo(text); }

std::string frm_Debug::GetAppPath() { return base::WithTrailingSeparator(forms::App::Path()); }

std::string frm_Debug::Address() const { return txt_Mv_IPAddress->text().toStdString(); }
bool frm_Debug::LogChecked() const { return Chk_LogData->isChecked(); }

std::vector<std::string> frm_Debug::Rows() const {
  std::vector<std::string> rows;
  rows.reserve(static_cast<std::size_t>(lstResponse->count()));
  for (int i = 0; i < lstResponse->count(); ++i) {
    rows.push_back(lstResponse->item(i)->text().toStdString());
  }
  return rows;
}

void frm_Debug::AddRow(const std::string& row) {
  // The view scrolls once per burst of rows, after they are in: scrolling forces a layout of
  // the whole list, which per row would make a long trail quadratic.
  if (!scroll_pending_) {
    const QScrollBar* bar = lstResponse->verticalScrollBar();
    // The newest row stays in view unless the technician scrolled up to read.
    following_ = bar->value() == bar->maximum();
    scroll_pending_ = true;
    QTimer::singleShot(0, this, [this] {
      scroll_pending_ = false;
      if (following_) lstResponse->scrollToBottom();
    });
  }
  if (lstResponse->count() >= kMaxRows) delete lstResponse->takeItem(0);
  lstResponse->addItem(Q(row));
}

void frm_Debug::SetCaption(const std::string& caption) { setWindowTitle(Q(caption)); }
std::string frm_Debug::StartStopCaption() const { return cmd_StartStop->text().toStdString(); }
void frm_Debug::SetStartStopCaption(const std::string& caption) {
  cmd_StartStop->setText(Q(caption));
}
void frm_Debug::EnableTimer(bool on) {
  if (on) {
    Timer_Process->start();
  } else {
    Timer_Process->stop();
  }
}
void frm_Debug::EnableWrite2File(bool on) { cmd_Write2File->setEnabled(on); }
int frm_Debug::Show(const forms::Message& m) { return forms::Show(m); }

// Without a control every member fails as a missing object would, and the tick warns.
void frm_Debug::SetRemoteHost(const std::string& host) {
  if (!Marlet1) throw forms::RuntimeError(91, "Object variable or With block variable not set");
  BSTR text = Wide(host);
  const HRESULT hr = Marlet1->put_RemoteHost(text);
  SysFreeString(text);
  ThrowIfFailed(hr);
}

void frm_Debug::SetRemotePort(int32_t port) {
  if (!Marlet1) throw forms::RuntimeError(91, "Object variable or With block variable not set");
  ThrowIfFailed(Marlet1->put_RemotePort(port));
}

bool frm_Debug::Active() {
  if (!Marlet1) throw forms::RuntimeError(91, "Object variable or With block variable not set");
  VARIANT_BOOL on = VARIANT_FALSE;
  ThrowIfFailed(Marlet1->get_Active(&on));
  return on != VARIANT_FALSE;
}

void frm_Debug::SetActive(bool on) {
  if (!Marlet1) throw forms::RuntimeError(91, "Object variable or With block variable not set");
  ThrowIfFailed(Marlet1->put_Active(on ? VARIANT_TRUE : VARIANT_FALSE));
}

void frm_Debug::Send(const std::string& text) {
  if (!Marlet1) throw forms::RuntimeError(91, "Object variable or With block variable not set");
  BSTR data = Wide(text);
  const HRESULT hr = Marlet1->Send(data);
  SysFreeString(data);
  ThrowIfFailed(hr);
}

}  // namespace debug
