"""Words the sample-tree maker (scripts/make_tree.py) builds its names from.

Plain lists only. Some of them hold letters outside ASCII on purpose: accents, Cyrillic, Greek, CJK,
Hangul, Arabic and Hebrew, and a few characters outside the Basic Multilingual Plane, as a real disk
in a non-English household has them.
"""


def words(text):
    return text.split()


def phrases(text):
    return [p.strip() for p in text.split("|") if p.strip()]


USERS = phrases("anna | José García | Zoë | Björn | Łukasz | Ольга | 佐藤 | mike.w | Søren | Chloé Dubois")

FIRST = words("""Anna Ben Chloé Diego Elif Fatima Günter Hana Ivan Jürgen Kåre Lena Márton Nadia Olaf Pål
Quentin Renée Siobhán Tomás Ulla Václav Wiktoria Xavier Yusuf Zoë Ahmed Björn Camille Dmitri Emma
Frédéric Ines João Kenji Léa Mateusz Noémie Oğuz Priya Rafael Sofía Thu Ümit Ваня Мария 美咲 지민""")

LAST = words("""Müller Smith García Dubois Nowak Sørensen Novák Kovačić Yılmaz Rossi Lindqvist Jansen
O'Neill Fernández Hernández Łukaszewski Petrov Иванов Tanaka 田中 Kim 김 Nguyễn Silva Øverby
Papadopoulos Παπαδόπουλος Cohen Haddad Brown Wilson Schäfer Weiß Åberg Jónsdóttir""")

ARTISTS = phrases("""Björk | Sigur Rós | Mötley Crüe | Beyoncé | Motörhead | Édith Piaf | Céline Dion |
Blue Öyster Cult | Queensrÿche | Røyksopp | 坂本龍一 | Кино | Ляпис Трубецкой | BTS (방탄소년단) |
宇多田ヒカル | Fairuz فيروز | Ofra Haza עפרה חזה | Μίκης Θεοδωράκης | Café Tacvba | Los Fabulosos Cadillacs |
The Beatles | Miles Davis | Daft Punk | Radiohead | AC_DC | Nina Simone | Portishead | Aphex Twin |
Joni Mitchell | Fela Kuti | Nick Cave & The Bad Seeds | Sonic Youth | Kraftwerk | Stromae | Rosalía |
Ennio Morricone | Ólafur Arnalds | Bonobo | Massive Attack | Khruangbin | Tinariwen | Yann Tiersen""")

ADJ = words("""Blue Silent Golden Broken Electric Quiet Hidden Lost Bright Endless Frozen Wild Little
Northern Velvet Paper Burning Hollow Crystal Early Late Distant Sleepy Shiny Bitter Gentle Sweet
Dunkle Schöne Größte Petite Très Belle Pequeño Último Красный Тихий 青い 静かな""")

NOUN = words("""River Garden Machine Heart Mountain City Dream Shadow Window Letter Ocean Fire Road Morning
Night Station Forest Mirror Island Bridge Summer Winter Harbour Engine Lantern Signal Orchard Avenue
Straße Café Mädchen Träume Chanson Corazón Canción Noël Город Ночь Море 夜 海 月 꿈 바다 Όνειρο""")

# Document names: a topic, then what it is.
DOC_TOPIC = phrases("""Budget | Tax return | Project plan | Meeting notes | Invoice | Resume | Cover letter |
Insurance | Lease agreement | Recipe | Travel itinerary | Grocery list | Thesis | Lab report | Minutes |
Quarterly report | Présentation | Übersicht | Résumé | Lebenslauf | Rechnung | Steuererklärung |
Reisekosten | Presupuesto | Facture | Contrat | Отчёт | Договор | Счёт | Презентация | 報告書 | 議事録 |
見積書 | 企画書 | 会议记录 | 보고서 | Προϋπολογισμός | Faktura | Sprawozdanie | Årsrapport | Kvitto""")

DOC_TAIL = phrases(""" | final | v2 | draft | (signed) | - Copy | old | new | 2nd revision | FINAL FINAL |
rev3 | corrected | for review | scan | ✓ approved | 🎉 | backup""")

DOC_FOLDER = phrases("""Work | School | Taxes | Receipts | Recipes | Travel | Family | Insurance | Bank |
Car | House | Health | Kids | Projects | Scans | Letters | Archive | Old stuff | University | Thesis |
Arbeit | Schule | Steuern | Urlaub | Familie | Voyages | Impôts | Factures | Trabajo | Viajes |
Работа | Учёба | Документы | 仕事 | 学校 | 写真 | 회사 | Εργασία | Praca | Pengar""")

EVENT = phrases("""Birthday | Holiday | Wedding | Beach | Christmas | Hiking | Graduation | Zoo | Party |
Garden | Concert | Road trip | Ski trip | Weekend | Picnic | Visit grandma | Sommerfest | Hochzeit |
Noël | Cumpleaños | Día de playa | Rentrée | Ёлка | Дача | 花見 | お正月 | 추석 | Πάσχα | Wigilia |
Midsommar | Reykjavík | Kraków | Zürich | São Paulo | Malmö | İstanbul | Köln | Göteborg""")

PLACE = words("""Paris Berlin Lisboa Kyoto Oslo Praha Wien Roma Sevilla Montréal Québec Genève Москва
Санкт-Петербург 東京 大阪 서울 Αθήνα Tel-Aviv Ålesund Tromsø Dubrovnik Łódź Gdańsk Kraków Plzeň""")

VENDOR_PRODUCT = phrases("""Microsoft Office\\root\\Office16 | Microsoft Office\\root\\VFS | Mozilla Firefox |
Google\\Chrome\\Application | Adobe\\Acrobat DC\\Acrobat | 7-Zip | VideoLAN\\VLC | LibreOffice\\program |
Notepad++ | Git\\usr\\share | nodejs\\node_modules\\npm | Python311\\Lib | JetBrains\\IntelliJ IDEA 2023.2 |
Microsoft VS Code | Windows Defender | Windows Mail | Windows Media Player | Windows NT\\Accessories |
Internet Explorer | Common Files\\microsoft shared | Common Files\\Adobe | dotnet\\shared\\Microsoft.NETCore.App |
Microsoft SQL Server\\150\\Tools | NVIDIA Corporation\\NVIDIA NvDLISR | Realtek\\Audio\\HDA |
Intel\\Intel(R) Management Engine Components | WindowsPowerShell\\Modules | Reference Assemblies\\Microsoft |
GIMP 2\\share | Inkscape\\share | Audacity | OBS Studio\\data | KeePass Password Safe 2 | Paint.NET |
WinRAR | Zoom\\bin | Mullvad VPN | Wireshark | PuTTY | FileZilla FTP Client | Blender Foundation\\Blender 3.6 |
calibre2\\app | Thunderbird | Spotify | Dropbox\\Client | PowerToys | TreeSize Free | Tesseract-OCR\\tessdata""")

GAMES = phrases("""Half-Life 2 | Portal 2 | Stardew Valley | Hollow Knight | The Witcher 3 | Cities Skylines |
Counter-Strike Global Offensive | Factorio | Celeste | Disco Elysium | Hades | Terraria | Dota 2 |
Baldur's Gate 3 | Europa Universalis IV | Ori and the Blind Forest | Subnautica | RimWorld""")

# Pieces of system file names: prefix + core (+ digits) + extension.
SYS_PREFIX = words("""ms win nt api d3d dx wmi shell user kernel crypt ole com rpc net wlan bcrypt cng
mf msvc dwm ext ie sec audio print cert fve hid usb tcp dns dhcp smb ws wuau xaml twinapi""")

SYS_CORE = words("""core base srv svc host mgr util lib ui res prov ext ps clr rt api cfg auth svcs
data sync cache stor trust pnp diag media text input init log dll reg event task""")

WINSXS_PART = words("""audio bluetooth client comctl32 directx dotnet font gdiplus ie11 kernel mediafoundation
networking notepad office powershell print security servicingstack shell speech tcpip usb wmi wordpad
xps msxml crypto wow64 setup sysmain accessibility""")

LOCALES = words("""ar-SA bg-BG cs-CZ da-DK de-DE el-GR en-GB en-US es-ES es-MX et-EE fi-FI fr-CA fr-FR he-IL
hr-HR hu-HU it-IT ja-JP ko-KR lt-LT lv-LV nb-NO nl-NL pl-PL pt-BR pt-PT ro-RO ru-RU sk-SK sl-SI sr-Latn-RS
sv-SE th-TH tr-TR uk-UA zh-CN zh-TW""")

CODE_DIR = words("""src include lib test tests docs tools scripts assets build cmake core util net ui
models views controllers services api config common internal platform resources fixtures examples""")

CODE_STEM = words("""main app index utils helpers config server client parser lexer reader writer
cache store model view controller router handler logger options session socket buffer queue thread
worker window dialog settings network engine render shader texture mesh audio input timer""")

NPM = words("""react react-dom lodash express chalk debug commander semver uuid axios webpack babel-core
typescript eslint prettier jest mocha rxjs moment dayjs yargs minimist glob rimraf mkdirp tslib
core-js regenerator-runtime ms qs body-parser cookie send mime-types iconv-lite safe-buffer inherits
readable-stream string_decoder kind-of is-number fill-range braces micromatch picomatch postcss""")

APPX = words("""WindowsCalculator WindowsCamera Photos ZuneMusic ZuneVideo WindowsStore YourPhone
MicrosoftEdge BingWeather WindowsMaps People Paint ScreenSketch WindowsAlarms GetHelp Getstarted
MicrosoftSolitaireCollection XboxApp XboxGameOverlay WindowsTerminal Todos OneNote SkypeApp""")
