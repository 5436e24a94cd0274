SELECT 
  *
FROM CPMAIN
WHERE 
  MontantSS1 < 0
  OR MontantSS2 < 0
  OR MontantSS3 < 0
  OR MontantSS4 < 0
  OR MontantSS5 < 0
  OR MontantSS6 < 0
  OR MontantSS7 < 0
ORDER BY CPMain_ID