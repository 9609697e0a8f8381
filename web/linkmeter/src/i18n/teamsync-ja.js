// 履歴タブのチーム記録の文言: チームサーバーとの同期、訪問の送信者、
// 訪問欄の競合する版。
export default {
  'history.sync.server': 'チームサーバー',
  'history.sync.serverHint': 'サービス名または postgresql:// アドレス',
  'history.sync.now': '今すぐ同期',
  'history.sync.starting': 'チームサーバーに接続中…',
  'history.sync.running': '同期中… 訪問 {total} 件中 {done} 件',
  'history.sync.done': '{user} として同期しました: 訪問の送信 {sent} 件、受信 {fetched} 件。',
  'history.sync.setAside': '{user} として同期しました: 訪問の送信 {sent} 件、受信 {fetched} 件。{count} 件の訪問は保留し、チームサーバーの管理者に任せます:',
  'history.sync.setAsideVisit': '訪問 {visit}…: {reason}。',
  'history.sync.setAsideRow': '訪問 {visit}…: {reason}。サーバーの行: {row}。',
  'history.sync.password': 'チームサーバーの名前にパスワードが含まれています。使わず、保存もしません。パスワードは ~/.pgpass に置き、名前はパスワードなしで入力してください。',
  'history.sync.demo': 'デモ現場の記録は作り物のため、チームサーバーには送りません。',
  'history.sync.noServer': '先にチームサーバー (サービス名または postgresql:// アドレス) を入力してください。',
  'history.sync.failed': '同期が止まりました: {msg} それまでに同期した分は残り、次の同期はその続きから行います。',
  'history.author': '送信者',
  'history.author.local': '未送信',
  'history.synced': '同期',
  'history.synced.yes': '済',
  'history.synced.no': '未',
  'history.versions': 'この欄には {count} 件の版があります。どれかを選んでください:',
  'history.versions.use': 'これを使う',
};
