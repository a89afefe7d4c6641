; Run by GIMP in batch mode from the test's folder. Writes result.txt: GIMP's
; data folder and every palette GIMP loaded (names as Unicode code points, so
; that no encoding can get in the way), then makes the palettes that tintpack must convert, and
; marks "Saved by GIMP" changed so that GIMP saves it again in its own layout.
(define out (open-output-file "result.txt"))
(define (say . items) (for-each (lambda (x) (display x out)) items) (newline out))
(define (codes s) (map char->integer (string->list s)))

(say "data " (codes gimp-data-directory))

(let loop ((names (cadr (gimp-palettes-get-list ""))))
  (if (pair? names)
      (let* ((name (car names))
             (count (car (gimp-palette-get-info name))))
        (say "palette " (codes name))
        (say "columns " (car (gimp-palette-get-columns name)))
        (let entries ((i 0))
          (if (< i count)
              (begin
                (say "entry " (car (gimp-palette-entry-get-color name i)) " "
                     (codes (car (gimp-palette-entry-get-name name i))))
                (entries (+ i 1)))))
        (loop (cdr names)))))

(let ((made (car (gimp-palette-new "Made in GIMP"))))
  (gimp-palette-set-columns made 8)
  (gimp-palette-add-entry made "Sky blue 2" '(0 128 255))
  (gimp-palette-add-entry made "Colour 10 20 30" '(255 0 0))
  (gimp-palette-add-entry made "" '(255 255 255))
  (gimp-palette-add-entry made "7 dwarfs" '(100 150 200))
  (gimp-palette-add-entry made "Just below and above" '(31 32 63)))

(gimp-palette-delete-entry "Saved by GIMP"
                           (car (gimp-palette-add-entry "Saved by GIMP" "x" '(1 2 3))))

(say "end")
(close-output-port out)
