#include "image/model/iewords.h"

#include <mutex>

#include "platform/rtl/CodePage.h"

namespace {

using WordRow = const char* const[IEMsgWordCount];

// The rows are written here in UTF-8 and stored in their language's Windows code
// page when the table is filled.

constexpr WordRow kEnglish = {
    "Preview", "Original", "Result", "OK", "Cancel", "Lock preview", "Copy Result to Original",
    "Contrast", "Brightness", "Hue",
    // 10
    "Saturation", "Value", "Base color", "New color", "Luminosity", "Red", "Green", "Blue",
    "Filter values", "Presets",
    // 20
    "Divisor", "Load", "Save", "Equalization", "Threshold", "Equalize", "Histogram", "Gray",
    "Light", "Left",
    // 30
    "Top", "Width", "Height", "Color", "Original image quantity", "Lens", "Refraction",
    "Parameters Preview", "Quality", "DCT method",
    // 40
    "Smoothing factor", "Gray scale", "Optimal Huffman", "Original size", "Compressed size",
    "Advanced", "Progressive", "Compression", "Image index", "Photometric",
    // 50
    "Scanned document info", "Name", "Description", "Page name", "Page number", "of",
    "Horiz. Position (inch)", "Vert. Position (inch)", "Colors", "Transparent",
    // 60
    "Transparent color", "Interlaced", "Background", "Horiz. Position", "Vert. Position",
    "Delay time", "Filter", "Wave", "Amplitude", "Wave length",
    // 70
    "Phase", "Reflective", "User filter", "Morphing filters", "Window size", "Maximum",
    "Minimum", "Opening", "Closing", "Rotate",
    // 80
    "Flip", "Horizontal", "Vertical", "Frequency domain image", "Select the region to clean",
    "Clear", "Reset", "Animate", "Load filter", "Save filter",
    // 90
    "Bump map", "Print", "Margins", "inches", "Right", "Bottom", "Position", "Size", "Normal",
    "Fit to page",
    // 100
    "Stretch to page", "Specified size", "Gamma correction", "Value", "Print Setup",
    "Left Margin", "Top Margin", "Right Margin", "Bottom Margin", "Location/size",
    // 110
    "Top Left", "Top Center", "Top Right", "Center Left", "Center", "Center Right",
    "Bottom Left", "Bottom Center", "Bottom Right", "Close",
    // 120
    "Apply", "Measure Units", "Units", "Rate"};

constexpr WordRow kItalian = {
    "Anteprima", "Originale", "Risultato", "OK", "Annulla", "Blocca anteprima",
    "Copia risultato sull'originale", "Contrasto", "Luminosità", "Tonalità",
    // 10
    "Saturazione", "Valore", "Colore base", "Nuovo colore", "Luminanza", "Rosso", "Verde", "Blu",
    "Valori filtro", "Predefiniti",
    // 20
    "Divisore", "Carica", "Salva", "Equalizzazione", "Soglia", "Equalizza", "Istogramma",
    "Grigio", "Luce", "Sinistra",
    // 30
    "Alto", "Larghezza", "Altezza", "Colore", "Quantità immagine originale", "Lente",
    "Rifrazione", "Anteprima parametri", "Qualità", "Metodo DCT",
    // 40
    "Fattore di smussatura", "Scala di grigi", "Huffman ottimale", "Dimensione originale",
    "Dimensione compressa", "Avanzate", "Progressivo", "Compressione", "Indice immagine",
    "Fotometria",
    // 50
    "Info documento acquisito", "Nome", "Descrizione", "Nome pagina", "Numero pagina", "di",
    "Posizione orizz. (pollici)", "Posizione vert. (pollici)", "Colori", "Trasparente",
    // 60
    "Colore trasparente", "Interlacciato", "Sfondo", "Posizione orizz.", "Posizione vert.",
    "Ritardo", "Filtro", "Onda", "Ampiezza", "Lunghezza d'onda",
    // 70
    "Fase", "Riflessione", "Filtro utente", "Filtri morfologici", "Dimensione finestra",
    "Massimo", "Minimo", "Apertura", "Chiusura", "Ruota",
    // 80
    "Rifletti", "Orizzontale", "Verticale", "Immagine nel dominio delle frequenze",
    "Seleziona la regione da pulire", "Cancella", "Ripristina", "Anima", "Carica filtro",
    "Salva filtro",
    // 90
    "Mappa a rilievo", "Stampa", "Margini", "pollici", "Destra", "Basso", "Posizione",
    "Dimensione", "Normale", "Adatta alla pagina",
    // 100
    "Estendi alla pagina", "Dimensione specificata", "Correzione gamma", "Valore",
    "Imposta stampante", "Margine sinistro", "Margine superiore", "Margine destro",
    "Margine inferiore", "Posizione/dimensione",
    // 110
    "In alto a sinistra", "In alto al centro", "In alto a destra", "Al centro a sinistra",
    "Centro", "Al centro a destra", "In basso a sinistra", "In basso al centro",
    "In basso a destra", "Chiudi",
    // 120
    "Applica", "Unità di misura", "Unità", "Qualità"};

constexpr WordRow kGerman = {
    "Vorschau", "Original", "Ergebnis", "OK", "Abbrechen", "Vorschau sperren",
    "Ergebnis ins Original kopieren", "Kontrast", "Helligkeit", "Farbton",
    // 10
    "Sättigung", "Wert", "Grundfarbe", "Neue Farbe", "Leuchtkraft", "Rot", "Grün", "Blau",
    "Filterwerte", "Vorgaben",
    // 20
    "Divisor", "Laden", "Speichern", "Ausgleich", "Schwellenwert", "Ausgleichen", "Histogramm",
    "Grau", "Licht", "Links",
    // 30
    "Oben", "Breite", "Höhe", "Farbe", "Anteil des Originalbilds", "Linse", "Brechung",
    "Parametervorschau", "Qualität", "DCT-Methode",
    // 40
    "Glättungsfaktor", "Graustufen", "Optimaler Huffman", "Originalgröße", "Komprimierte Größe",
    "Erweitert", "Progressiv", "Komprimierung", "Bildindex", "Photometrie",
    // 50
    "Info zum gescannten Dokument", "Name", "Beschreibung", "Seitenname", "Seitennummer", "von",
    "Horiz. Position (Zoll)", "Vert. Position (Zoll)", "Farben", "Transparent",
    // 60
    "Transparente Farbe", "Interlaced", "Hintergrund", "Horiz. Position", "Vert. Position",
    "Verzögerung", "Filter", "Welle", "Amplitude", "Wellenlänge",
    // 70
    "Phase", "Spiegelnd", "Benutzerfilter", "Morphologische Filter", "Fenstergröße", "Maximum",
    "Minimum", "Öffnen", "Schließen", "Drehen",
    // 80
    "Spiegeln", "Horizontal", "Vertikal", "Bild im Frequenzbereich",
    "Zu bereinigenden Bereich wählen", "Löschen", "Zurücksetzen", "Animieren", "Filter laden",
    "Filter speichern",
    // 90
    "Bump-Map", "Drucken", "Ränder", "Inches", "Rechts", "Unten", "Position", "Größe", "Normal",
    "An Seite anpassen",
    // 100
    "Auf Seite strecken", "Angegebene Größe", "Gammakorrektur", "Wert", "Druckereinrichtung",
    "Linker Rand", "Oberer Rand", "Rechter Rand", "Unterer Rand", "Position/Größe",
    // 110
    "Oben links", "Oben Mitte", "Oben rechts", "Mitte links", "Mitte", "Mitte rechts",
    "Unten links", "Unten Mitte", "Unten rechts", "Schließen",
    // 120
    "Anwenden", "Maßeinheiten", "Einheiten", "Rate"};

constexpr WordRow kSpanish = {
    "Vista Previa", "Original", "Resultado", "Aceptar", "Cancelar", "Bloquear vista previa",
    "Copiar resultado al original", "Contraste", "Brillo", "Tono",
    // 10
    "Saturación", "Valor", "Color base", "Color nuevo", "Luminosidad", "Rojo", "Verde", "Azul",
    "Valores del filtro", "Predefinidos",
    // 20
    "Divisor", "Cargar", "Guardar", "Ecualización", "Umbral", "Ecualizar", "Histograma", "Gris",
    "Luz", "Izquierda",
    // 30
    "Arriba", "Ancho", "Alto", "Color", "Cantidad de imagen original", "Lente", "Refracción",
    "Vista previa de parámetros", "Calidad", "Método DCT",
    // 40
    "Factor de suavizado", "Escala de grises", "Huffman óptimo", "Tamaño original",
    "Tamaño comprimido", "Avanzado", "Progresivo", "Compresión", "Índice de imagen",
    "Fotometría",
    // 50
    "Información del documento escaneado", "Nombre", "Descripción", "Nombre de página",
    "Número de página", "de", "Posición horiz. (pulgadas)", "Posición vert. (pulgadas)",
    "Colores", "Transparente",
    // 60
    "Color transparente", "Entrelazado", "Fondo", "Posición horiz.", "Posición vert.",
    "Retardo", "Filtro", "Onda", "Amplitud", "Longitud de onda",
    // 70
    "Fase", "Reflectante", "Filtro de usuario", "Filtros morfológicos", "Tamaño de ventana",
    "Máximo", "Mínimo", "Abrir", "Cerrar", "Girar",
    // 80
    "Voltear", "Horizontal", "Vertical", "Imagen en el dominio de la frecuencia",
    "Seleccione la región a limpiar", "Borrar", "Restablecer", "Animar", "Cargar filtro",
    "Guardar filtro",
    // 90
    "Mapa de relieve", "Imprimir", "Márgenes", "pulgadas", "Derecha", "Abajo", "Posición",
    "Tamaño", "Normal", "Ajustar a la página",
    // 100
    "Estirar a la página", "Tamaño especificado", "Corrección gamma", "Valor",
    "Configurar impresión", "Margen izquierdo", "Margen superior", "Margen derecho",
    "Margen inferior", "Ubicación/tamaño",
    // 110
    "Arriba izquierda", "Arriba centro", "Arriba derecha", "Centro izquierda", "Centro",
    "Centro derecha", "Abajo izquierda", "Abajo centro", "Abajo derecha", "Cerrar",
    // 120
    "Aplicar", "Unidades de medida", "Unidades", "Rate"};

constexpr WordRow kFrench = {
    "Prévisualisation", "Original", "Résultat", "Ok", "Annuler", "Verrouiller l'aperçu",
    "Copier le résultat vers l'original", "Contraste", "Luminosité", "Teinte",
    // 10
    "Saturation", "Valeur", "Couleur de base", "Nouvelle couleur", "Luminance", "Rouge", "Vert",
    "Bleu", "Valeurs du filtre", "Préréglages",
    // 20
    "Diviseur", "Charger", "Enregistrer", "Égalisation", "Seuil", "Égaliser", "Histogramme",
    "Gris", "Lumière", "Gauche",
    // 30
    "Haut", "Largeur", "Hauteur", "Couleur", "Quantité d'image originale", "Lentille",
    "Réfraction", "Aperçu des paramètres", "Qualité", "Méthode DCT",
    // 40
    "Facteur de lissage", "Niveaux de gris", "Huffman optimal", "Taille originale",
    "Taille compressée", "Avancé", "Progressif", "Compression", "Index d'image", "Photométrie",
    // 50
    "Infos du document numérisé", "Nom", "Description", "Nom de page", "Numéro de page", "de",
    "Position horiz. (pouces)", "Position vert. (pouces)", "Couleurs", "Transparent",
    // 60
    "Couleur transparente", "Entrelacé", "Arrière-plan", "Position horiz.", "Position vert.",
    "Délai", "Filtre", "Vague", "Amplitude", "Longueur d'onde",
    // 70
    "Phase", "Réfléchissant", "Filtre utilisateur", "Filtres morphologiques",
    "Taille de fenêtre", "Maximum", "Minimum", "Filtre ouvert", "Filtre fermé", "Rotation",
    // 80
    "Retourner", "Horizontal", "Vertical", "Image dans le domaine fréquentiel",
    "Sélectionnez la zone à nettoyer", "Effacer", "Réinitialiser", "Animer",
    "Charger un filtre", "Enregistrer le filtre",
    // 90
    "Placage de relief", "Imprimer", "Marges", "Pouces", "Droite", "Bas", "Position", "Taille",
    "Normal", "Ajuster à la page",
    // 100
    "Étirer à la page", "Taille spécifiée", "Correction gamma", "Valeur",
    "Configuration de l'impression", "Marge gauche", "Marge haute", "Marge droite",
    "Marge basse", "Emplacement/taille",
    // 110
    "En haut à gauche", "En haut au centre", "En haut à droite", "Au centre à gauche",
    "Centre", "Au centre à droite", "En bas à gauche", "En bas au centre", "En bas à droite",
    "Fermer",
    // 120
    "Appliquer", "Unités de mesure", "Unités", "Rate"};

constexpr WordRow kPortuguese = {
    "Visualizar", "Original", "Resultado", "OK", "Cancelar", "Bloquear visualização",
    "Copiar resultado para o original", "Contraste", "Brilho", "Matiz",
    // 10
    "Saturação", "Valor", "Cor base", "Nova cor", "Luminosidade", "Vermelho", "Verde", "Azul",
    "Valores do filtro", "Predefinições",
    // 20
    "Divisor", "Carregar", "Salvar", "Equalização", "Limiar", "Equalizar", "Histograma",
    "Cinza", "Luz", "Esquerda",
    // 30
    "Superior", "Largura", "Altura", "Cor", "Quantidade da imagem original", "Lente",
    "Refração", "Visualizar parâmetros", "Qualidade", "Método DCT",
    // 40
    "Fator de suavização", "Escala de cinza", "Huffman ótimo", "Tamanho original",
    "Tamanho comprimido", "Avançado", "Progressivo", "Compressão", "Índice da imagem",
    "Fotometria",
    // 50
    "Informações do documento digitalizado", "Nome", "Descrição", "Nome da página",
    "Número da página", "de", "Posição horiz. (polegadas)", "Posição vert. (polegadas)",
    "Cores", "Transparente",
    // 60
    "Cor transparente", "Entrelaçado", "Fundo", "Posição horiz.", "Posição vert.", "Atraso",
    "Filtro", "Onda", "Amplitude", "Comprimento de onda",
    // 70
    "Fase", "Reflexivo", "Filtro do usuário", "Filtros morfológicos", "Tamanho da janela",
    "Máximo", "Mínimo", "Abrir", "Fechar", "Girar",
    // 80
    "Inverter", "Horizontal", "Vertical", "Imagem no domínio da frequência",
    "Selecione a região a limpar", "Limpar", "Redefinir", "Animar", "Carregar filtro",
    "Salvar filtro",
    // 90
    "Mapa de relevo", "Imprimir", "Margens", "polegadas", "Direita", "Inferior", "Posição",
    "Tamanho", "Normal", "Ajustar à página",
    // 100
    "Esticar à página", "Tamanho especificado", "Correção gama", "Valor",
    "Configurar impressão", "Margem esquerda", "Margem superior", "Margem direita",
    "Margem inferior", "Local/tamanho",
    // 110
    "Superior esquerdo", "Superior centro", "Superior direito", "Centro esquerdo", "Centro",
    "Centro direito", "Inferior esquerdo", "Inferior centro", "Inferior direito", "Fechar",
    // 120
    "Aplicar", "Unidades de medida", "Unidades", "Rate"};

constexpr WordRow kGreek = {
    "Προεπισκόπηση", "Πρωτότυπο", "Αποτέλεσμα", "OK", "Άκυρο", "Κλείδωμα προεπισκόπησης",
    "Αντιγραφή αποτελέσματος στο πρωτότυπο", "Αντίθεση", "Φωτεινότητα", "Απόχρωση",
    // 10
    "Κορεσμός", "Τιμή", "Βασικό χρώμα", "Νέο χρώμα", "Λαμπρότητα", "Κόκκινο", "Πράσινο",
    "Μπλε", "Τιμές φίλτρου", "Προκαθορισμένα",
    // 20
    "Διαιρέτης", "Φόρτωση", "Αποθήκευση", "Εξισορρόπηση", "Κατώφλι", "Εξίσωση", "Ιστόγραμμα",
    "Γκρι", "Φως", "Αριστερά",
    // 30
    "Πάνω", "Πλάτος", "Ύψος", "Χρώμα", "Ποσότητα αρχικής εικόνας", "Φακός", "Διάθλαση",
    "Προεπισκόπηση παραμέτρων", "Ποιότητα", "Μέθοδος DCT",
    // 40
    "Συντελεστής εξομάλυνσης", "Κλίμακα του γκρι", "Βέλτιστο Huffman", "Αρχικό μέγεθος",
    "Συμπιεσμένο μέγεθος", "Για προχωρημένους", "Προοδευτική", "Συμπίεση", "Δείκτης εικόνας",
    "Φωτομετρία",
    // 50
    "Στοιχεία σαρωμένου εγγράφου", "Όνομα", "Περιγραφή", "Όνομα σελίδας", "Αριθμός σελίδας",
    "από", "Οριζ. θέση (ίντσες)", "Κατακ. θέση (ίντσες)", "Χρώματα", "Διαφανές",
    // 60
    "Διαφανές χρώμα", "Πεπλεγμένη", "Φόντο", "Οριζ. θέση", "Κατακ. θέση", "Καθυστέρηση",
    "Φίλτρο", "Κύμα", "Πλάτος ταλάντωσης", "Μήκος κύματος",
    // 70
    "Φάση", "Ανακλαστικό", "Φίλτρο χρήστη", "Μορφολογικά φίλτρα", "Μέγεθος παραθύρου",
    "Μέγιστο", "Ελάχιστο", "Άνοιγμα", "Κλείσιμο", "Περιστροφή",
    // 80
    "Αναστροφή", "Οριζόντια", "Κατακόρυφα", "Εικόνα πεδίου συχνοτήτων",
    "Επιλέξτε την περιοχή για καθαρισμό", "Καθαρισμός", "Επαναφορά", "Κίνηση",
    "Φόρτωση φίλτρου", "Αποθήκευση φίλτρου",
    // 90
    "Χάρτης ανάγλυφου", "Εκτύπωση", "Περιθώρια", "ίντσες", "Δεξιά", "Κάτω", "Θέση", "Μέγεθος",
    "Κανονικό", "Προσαρμογή στη σελίδα",
    // 100
    "Επέκταση στη σελίδα", "Καθορισμένο μέγεθος", "Διόρθωση γάμμα", "Τιμή",
    "Ρύθμιση εκτύπωσης", "Αριστερό περιθώριο", "Πάνω περιθώριο", "Δεξί περιθώριο",
    "Κάτω περιθώριο", "Θέση/μέγεθος",
    // 110
    "Πάνω αριστερά", "Πάνω κέντρο", "Πάνω δεξιά", "Κέντρο αριστερά", "Κέντρο", "Κέντρο δεξιά",
    "Κάτω αριστερά", "Κάτω κέντρο", "Κάτω δεξιά", "Κλείσιμο",
    // 120
    "Εφαρμογή", "Μονάδες μέτρησης", "Μονάδες", "Rate"};

constexpr WordRow kRussian = {
    "Просмотр", "Оригинал", "Результат", "OK", "Отмена", "Закрепить просмотр",
    "Копировать результат в оригинал", "Контраст", "Яркость", "Оттенок",
    // 10
    "Насыщенность", "Значение", "Основной цвет", "Новый цвет", "Светимость", "Красный",
    "Зелёный", "Синий", "Значения фильтра", "Предустановки",
    // 20
    "Делитель", "Загрузить", "Сохранить", "Выравнивание", "Порог", "Выровнять", "Гистограмма",
    "Серый", "Свет", "Слева",
    // 30
    "Сверху", "Ширина", "Высота", "Цвет", "Доля исходного изображения", "Линза", "Преломление",
    "Просмотр параметров", "Качество", "Метод DCT",
    // 40
    "Коэффициент сглаживания", "Оттенки серого", "Оптимальный Хаффман", "Исходный размер",
    "Размер после сжатия", "Дополнительно", "Прогрессивный", "Сжатие", "Номер изображения",
    "Фотометрия",
    // 50
    "Сведения о сканированном документе", "Имя", "Описание", "Имя страницы", "Номер страницы",
    "из", "Гориз. позиция (дюймы)", "Верт. позиция (дюймы)", "Цвета", "Прозрачный",
    // 60
    "Прозрачный цвет", "Чересстрочный", "Фон", "Гориз. позиция", "Верт. позиция", "Задержка",
    "Фильтр", "Волна", "Амплитуда", "Длина волны",
    // 70
    "Фаза", "Отражающий", "Фильтр пользователя", "Морфологические фильтры", "Размер окна",
    "Максимум", "Минимум", "Размыкание", "Замыкание", "Поворот",
    // 80
    "Отразить", "По горизонтали", "По вертикали", "Изображение в частотной области",
    "Выделите область для очистки", "Очистить", "Сбросить", "Анимация", "Загрузить фильтр",
    "Сохранить фильтр",
    // 90
    "Карта рельефа", "Печать", "Поля", "дюймы", "Справа", "Снизу", "Позиция", "Размер",
    "Обычный", "По размеру страницы",
    // 100
    "Растянуть на страницу", "Заданный размер", "Гамма-коррекция", "Значение",
    "Настройка печати", "Левое поле", "Верхнее поле", "Правое поле", "Нижнее поле",
    "Положение/размер",
    // 110
    "Вверху слева", "Вверху по центру", "Вверху справа", "В центре слева", "В центре",
    "В центре справа", "Внизу слева", "Внизу по центру", "Внизу справа", "Закрыть",
    // 120
    "Применить", "Единицы измерения", "Единицы", "Rate"};

constexpr WordRow kDutch = {
    "Voorbeeld", "Origineel", "Resultaat", "OK", "Annuleren", "Voorbeeld vergrendelen",
    "Resultaat naar origineel kopiëren", "Contrast", "Helderheid", "Tint",
    // 10
    "Verzadiging", "Waarde", "Basiskleur", "Nieuwe kleur", "Lichtsterkte", "Rood", "Groen",
    "Blauw", "Filterwaarden", "Voorinstellingen",
    // 20
    "Deler", "Laden", "Opslaan", "Egalisatie", "Drempel", "Egaliseren", "Histogram", "Grijs",
    "Licht", "Links",
    // 30
    "Boven", "Breedte", "Hoogte", "Kleur", "Aandeel originele afbeelding", "Lens", "Breking",
    "Voorbeeld parameters", "Kwaliteit", "DCT-methode",
    // 40
    "Afvlakkingsfactor", "Grijswaarden", "Optimale Huffman", "Originele grootte",
    "Gecomprimeerde grootte", "Geavanceerd", "Progressief", "Compressie", "Afbeeldingsindex",
    "Fotometrie",
    // 50
    "Info gescand document", "Naam", "Beschrijving", "Paginanaam", "Paginanummer", "van",
    "Horiz. positie (inch)", "Vert. positie (inch)", "Kleuren", "Transparant",
    // 60
    "Transparante kleur", "Interlaced", "Achtergrond", "Horiz. positie", "Vert. positie",
    "Vertraging", "Filter", "Golf", "Amplitude", "Golflengte",
    // 70
    "Fase", "Reflecterend", "Gebruikersfilter", "Morfologische filters", "Venstergrootte",
    "Maximum", "Minimum", "Openen", "Sluiten", "Draaien",
    // 80
    "Spiegelen", "Horizontaal", "Verticaal", "Afbeelding in frequentiedomein",
    "Selecteer het te wissen gebied", "Wissen", "Herstellen", "Animeren", "Filter laden",
    "Filter opslaan",
    // 90
    "Reliëfkaart", "Afdrukken", "Marges", "inch", "Rechts", "Onder", "Positie", "Grootte",
    "Normaal", "Passend op pagina",
    // 100
    "Uitrekken tot pagina", "Opgegeven grootte", "Gammacorrectie", "Waarde",
    "Afdrukinstellingen", "Linkermarge", "Bovenmarge", "Rechtermarge", "Ondermarge",
    "Locatie/grootte",
    // 110
    "Linksboven", "Midden boven", "Rechtsboven", "Midden links", "Midden", "Midden rechts",
    "Linksonder", "Midden onder", "Rechtsonder", "Sluiten",
    // 120
    "Toepassen", "Maateenheden", "Eenheden", "Rate"};

constexpr WordRow kSwedish = {
    "Granska", "Original", "Resultat", "OK", "Avbryt", "Lås förhandsvisning",
    "Kopiera resultat till original", "Kontrast", "Ljusstyrka", "Nyans",
    // 10
    "Mättnad", "Värde", "Grundfärg", "Ny färg", "Luminans", "Röd", "Grön", "Blå",
    "Filtervärden", "Förval",
    // 20
    "Divisor", "Läs in", "Spara", "Utjämning", "Tröskel", "Utjämna", "Histogram", "Grå", "Ljus",
    "Vänster",
    // 30
    "Överkant", "Bredd", "Höjd", "Färg", "Andel originalbild", "Lins", "Brytning",
    "Förhandsvisning av parametrar", "Kvalitet", "DCT-metod",
    // 40
    "Utjämningsfaktor", "Gråskala", "Optimal Huffman", "Originalstorlek", "Komprimerad storlek",
    "Avancerat", "Progressiv", "Komprimering", "Bildindex", "Fotometri",
    // 50
    "Info om skannat dokument", "Namn", "Beskrivning", "Sidnamn", "Sidnummer", "av",
    "Horis. position (tum)", "Vert. position (tum)", "Färger", "Genomskinlig",
    // 60
    "Genomskinlig färg", "Sammanflätad", "Bakgrund", "Horis. position", "Vert. position",
    "Fördröjning", "Filter", "Våg", "Amplitud", "Våglängd",
    // 70
    "Fas", "Reflekterande", "Användarfilter", "Morfologiska filter", "Fönsterstorlek",
    "Maximum", "Minimum", "Öppna", "Stäng", "Rotera",
    // 80
    "Vänd", "Vågrätt", "Lodrätt", "Bild i frekvensdomänen", "Markera området som ska rensas",
    "Rensa", "Återställ", "Animera", "Läs in filter", "Spara filter",
    // 90
    "Reliefkarta", "Skriv ut", "Marginaler", "inches", "Höger", "Nederkant", "Position",
    "Storlek", "Normal", "Anpassa till sida",
    // 100
    "Sträck ut till sida", "Angiven storlek", "Gammakorrigering", "Värde", "Utskriftsformat",
    "Vänstermarginal", "Övre marginal", "Högermarginal", "Nedre marginal", "Placering/storlek",
    // 110
    "Uppe till vänster", "Uppe i mitten", "Uppe till höger", "Mitten till vänster", "Mitten",
    "Mitten till höger", "Nere till vänster", "Nere i mitten", "Nere till höger", "Stäng",
    // 120
    "Verkställ", "Måttenheter", "Enheter", "Rate"};

constexpr WordRow kPolish = {
    "Podgląd", "Oryginał", "Wynik", "OK", "Anuluj", "Zablokuj podgląd",
    "Kopiuj wynik do oryginału", "Kontrast", "Jasność", "Odcień",
    // 10
    "Nasycenie", "Wartość", "Kolor bazowy", "Nowy kolor", "Luminancja", "Czerwony", "Zielony",
    "Niebieski", "Wartości filtra", "Ustawienia wstępne",
    // 20
    "Dzielnik", "Wczytaj", "Zapisz", "Wyrównanie", "Próg", "Wyrównaj", "Histogram", "Szary",
    "Światło", "Lewo",
    // 30
    "Góra", "Szerokość", "Wysokość", "Kolor", "Udział obrazu oryginalnego", "Soczewka",
    "Załamanie", "Podgląd parametrów", "Jakość", "Metoda DCT",
    // 40
    "Współczynnik wygładzania", "Skala szarości", "Optymalny Huffman", "Rozmiar oryginalny",
    "Rozmiar po kompresji", "Zaawansowane", "Progresywny", "Kompresja", "Indeks obrazu",
    "Fotometria",
    // 50
    "Informacje o zeskanowanym dokumencie", "Nazwa", "Opis", "Nazwa strony", "Numer strony",
    "z", "Poz. pozioma (cale)", "Poz. pionowa (cale)", "Kolory", "Przezroczysty",
    // 60
    "Kolor przezroczysty", "Z przeplotem", "Tło", "Poz. pozioma", "Poz. pionowa", "Opóźnienie",
    "Filtr", "Fala", "Amplituda", "Długość fali",
    // 70
    "Faza", "Odbijający", "Filtr użytkownika", "Filtry morfologiczne", "Rozmiar okna",
    "Maksimum", "Minimum", "Otwarcie", "Zamknięcie", "Obróć",
    // 80
    "Odwróć", "Poziomo", "Pionowo", "Obraz w dziedzinie częstotliwości",
    "Zaznacz obszar do oczyszczenia", "Wyczyść", "Resetuj", "Animuj", "Wczytaj filtr",
    "Zapisz filtr",
    // 90
    "Mapa wypukłości", "Drukuj", "Marginesy", "cale", "Prawo", "Dół", "Pozycja", "Rozmiar",
    "Normalny", "Dopasuj do strony",
    // 100
    "Rozciągnij na stronę", "Określony rozmiar", "Korekcja gamma", "Wartość",
    "Ustawienia wydruku", "Lewy margines", "Górny margines", "Prawy margines",
    "Dolny margines", "Położenie/rozmiar",
    // 110
    "Lewy górny", "Środkowy górny", "Prawy górny", "Lewy środkowy", "Środek",
    "Prawy środkowy", "Lewy dolny", "Środkowy dolny", "Prawy dolny", "Zamknij",
    // 120
    "Zastosuj", "Jednostki miary", "Jednostki", ""};

// Every row has all 124 words (a missing one would be null).
consteval bool Complete(const WordRow& row) {
  for (const char* word : row)
    if (word == nullptr) return false;
  return true;
}
static_assert(Complete(kEnglish) && Complete(kItalian) && Complete(kGerman) &&
                  Complete(kSpanish) && Complete(kFrench) && Complete(kPortuguese) &&
                  Complete(kGreek) && Complete(kRussian) && Complete(kDutch) &&
                  Complete(kSwedish) && Complete(kPolish),
              "a word row is incomplete");

// --- UTF-8 to the Windows code pages of the non-Western rows ---------------------

// Decodes the next character of a well-formed UTF-8 literal.
uint32_t NextCodePoint(const unsigned char*& p) {
  const uint32_t c = *p++;
  if (c < 0x80) return c;
  int follow = c >= 0xF0 ? 3 : (c >= 0xE0 ? 2 : 1);
  uint32_t cp = c & (0x3F >> follow);
  while (follow-- > 0 && (*p & 0xC0) == 0x80) cp = (cp << 6) | (*p++ & 0x3F);
  return cp;
}

// Windows-1253 (Greek).
int ToCp1253(uint32_t cp) {
  if (cp == 0x0386) return 0xA2;
  if (cp == 0x0384 || cp == 0x0385 || (cp >= 0x0388 && cp <= 0x03CE && cp != 0x038B &&
                                       cp != 0x038D && cp != 0x03A2))
    return static_cast<int>(cp - 0x2D0);
  return -1;
}

// Windows-1251 (Cyrillic).
int ToCp1251(uint32_t cp) {
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(cp - 0x350);
  if (cp == 0x0401) return 0xA8;
  if (cp == 0x0451) return 0xB8;
  return -1;
}

// Windows-1250 (Central European): the Polish letters.
int ToCp1250(uint32_t cp) {
  struct Pair {
    uint32_t cp;
    int byte;
  };
  static constexpr Pair kPolish[] = {
      {0x0104, 0xA5}, {0x0105, 0xB9}, {0x0106, 0xC6}, {0x0107, 0xE6}, {0x0118, 0xCA},
      {0x0119, 0xEA}, {0x0141, 0xA3}, {0x0142, 0xB3}, {0x0143, 0xD1}, {0x0144, 0xF1},
      {0x00D3, 0xD3}, {0x00F3, 0xF3}, {0x015A, 0x8C}, {0x015B, 0x9C}, {0x0179, 0x8F},
      {0x017A, 0x9F}, {0x017B, 0xAF}, {0x017C, 0xBF}};
  for (const Pair& pair : kPolish)
    if (pair.cp == cp) return pair.byte;
  return -1;
}

// ASCII passes through; a character the code page lacks becomes '?'.
AnsiString Encode(const char* utf8, int (*toCodePage)(uint32_t)) {
  AnsiString out;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p != 0) {
    const uint32_t cp = NextCodePoint(p);
    const int byte = cp < 0x80 ? static_cast<int>(cp) : toCodePage(cp);
    out += static_cast<char>(byte < 0 ? '?' : byte);
  }
  return out;
}

void FillRow(TMsgLanguage language, const WordRow& words, int (*toCodePage)(uint32_t)) {
  AnsiString* row = ieMessages[static_cast<int>(language) - 1];
  for (Integer w = 0; w < IEMsgWordCount; ++w)
    row[w] = toCodePage != nullptr ? Encode(words[w], toCodePage) : Utf8ToAnsi(words[w]);
}

std::once_flag wordsFilled;

}  // namespace

void IESetDefaultTranslationWords() {
  FillRow(msEnglish, kEnglish, nullptr);
  FillRow(msItalian, kItalian, nullptr);
  FillRow(msGerman, kGerman, nullptr);
  FillRow(msSpanish, kSpanish, nullptr);
  FillRow(msFrench, kFrench, nullptr);
  FillRow(msPortuguese, kPortuguese, nullptr);
  FillRow(msGreek, kGreek, ToCp1253);
  FillRow(msRussian, kRussian, ToCp1251);
  FillRow(msDutch, kDutch, nullptr);
  FillRow(msSwedish, kSwedish, nullptr);
  FillRow(msPolish, kPolish, ToCp1250);
}

void IEInitTranslationWords() { std::call_once(wordsFilled, IESetDefaultTranslationWords); }

void IESetTranslationWord(TMsgLanguage language, TMsgLanguageWords word, const AnsiString& text) {
  const auto row = static_cast<Integer>(language) - 1;
  const auto column = static_cast<Integer>(word);
  if (row < 0 || row >= IEMsgLanguageRows || column >= IEMsgWordCount) return;
  IEInitTranslationWords();
  ieMessages[row][column] = text;
}
